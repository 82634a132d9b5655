#pragma once
// Makes large catalogues in memory for the benchmarks and the large-catalogue window test: any
// number of entries, each description of a chosen length, all texts predictable from the entry
// number so that a test can check what the window shows.
#include <cstddef>
#include <functional>
#include <string>

namespace bench {

inline std::string entryName(int n) { return "Program " + std::to_string(1000 + n).substr(1); }

inline int entrySize(int n) { return n * 10 + 1; }

// Words and commas up to `bytes` bytes, opened by the entry number so that no two are alike. The
// text is meant for a quoted field: it holds no double quote and no line end.
inline std::string entryDescription(int n, std::size_t bytes) {
    static const char* const words[] = {"install", "fast",  "colour", "window,", "files",  "simple",
                                        "print",   "music", "games,", "letters", "photos", "help."};
    std::string text = "Description of entry " + std::to_string(n) + ":";
    for (std::size_t i = std::size_t(n); text.size() < bytes; ++i) {
        text += ' ';
        text += words[i % 12];
    }
    text.resize(bytes);
    return text;
}

// A whole catalogue with `entries` entries; `descriptionBytes(n)` is the length of entry n's
// description. Readme and licence buttons on, nothing opened at start-up, plain colours.
inline std::string makeCatalogue(int entries, const std::function<std::size_t(int)>& descriptionBytes) {
    std::string text =
        "discmenu catalogue\r\nformat 1\r\nLarge Collection\r\nBenchmark Edition\r\nSample Publishing\r\n"
        "7 December 2026\r\n1\r\n1\r\n0\r\n0\r\n";
    for (const char* colour :
         {"12632256", "8388608", "16777215", "16777215", "0", "12632256", "0", "16777215", "0"})
        text += std::string(colour) + "\r\n";
    text += ">>\r\n";
    for (int n = 1; n <= entries; ++n) {
        if (n > 1) text += ">>\r\n";
        text += entryName(n) + "\r\n" + std::to_string(entrySize(n)) + "\r\nsetup.sh\r\nfolder" +
                std::to_string(n) + "\r\n\"" + entryDescription(n, descriptionBytes(n)) + "\"\r\n";
    }
    text += "<<\r\n";
    return text;
}

// The large catalogue of the window test and the benchmarks: 201 entries whose descriptions come
// to about 1 MB (5000 bytes each), and entry BigEntry with a 64 KB description.
inline constexpr int BigEntry = 101;
inline constexpr std::size_t BigDescription = 64 * 1024;
inline std::string makeLargeCatalogue() {
    return makeCatalogue(201, [](int n) { return n == BigEntry ? BigDescription : std::size_t(5000); });
}

}  // namespace bench
