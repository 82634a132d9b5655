// The launcher's reading of what the menu library needs from the loader: the real library of this
// build, and damaged copies of it (a medium can be damaged), which must give a message, never a
// crash or a read outside the file.
#include "launcher/elfneeds.h"

#include <elf.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <QtGlobal>
#include <algorithm>
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

namespace {

const std::string kLibrary = DISCMENU_BINARY_DIR "/app/discmenu-app.so";

std::vector<char> readAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

struct Needs {
    launcher::ElfNeeds needs;
    bool ok = false;
    std::string error;
    explicit Needs(const std::string& path) {
        char text[1024] = "";
        ok = launcher::readElfNeeds(path.c_str(), needs, text, sizeof text);
        error = text;
    }
    ~Needs() { launcher::freeElfNeeds(needs); }
    const launcher::ImportedSymbol* symbol(const std::string& name) const {
        for (int i = 0; i < needs.symbolCount; ++i) {
            if (needs.symbols[i].name == name) return &needs.symbols[i];
        }
        return nullptr;
    }
};

TEST(ElfNeeds, ReadsTheMenuLibrarysLibrariesAndVersionedImports) {
    Needs read(kLibrary);
    ASSERT_TRUE(read.ok) << read.error;
    std::vector<std::string> needed(read.needs.needed, read.needs.needed + read.needs.neededCount);
    for (const char* library : {"libQt6Widgets.so.6", "libQt6Gui.so.6", "libQt6Core.so.6", "libc.so.6"}) {
        EXPECT_NE(std::find(needed.begin(), needed.end(), library), needed.end()) << library;
    }
    // The tag of the Qt release the menu was built with: an older Qt must not pass for it.
    const auto* tag = read.symbol("qt_version_tag");
    ASSERT_NE(tag, nullptr);
    EXPECT_EQ(std::string(tag->version), "Qt_6." + std::to_string(QT_VERSION_MINOR));
    EXPECT_EQ(std::string(tag->library), "libQt6Core.so.6");
    EXPECT_FALSE(tag->weak);
    const auto* exec = read.symbol("_ZN12QApplication4execEv");
    ASSERT_NE(exec, nullptr);
    EXPECT_EQ(std::string(exec->library), "libQt6Widgets.so.6");
    EXPECT_EQ(read.symbol("discmenu_main"), nullptr) << "a symbol the library defines is no import";
    const auto* gmon = read.symbol("__gmon_start__");
    if (gmon) {
        EXPECT_TRUE(gmon->weak);
    }
}

TEST(ElfNeeds, DamagedFilesGiveAMessageNamingFileAndFault) {
    const std::vector<char> good = readAll(kLibrary);
    ASSERT_GT(good.size(), sizeof(Elf64_Ehdr));
    Elf64_Ehdr header;
    std::memcpy(&header, good.data(), sizeof header);
    // The section header of the first section of `type`, as an offset into the file.
    const auto sectionOffset = [&](std::uint32_t type) -> std::size_t {
        for (std::size_t i = 0; i < header.e_shnum; ++i) {
            const std::size_t at = header.e_shoff + i * sizeof(Elf64_Shdr);
            Elf64_Shdr section;
            std::memcpy(&section, good.data() + at, sizeof section);
            if (section.sh_type == type) return at;
        }
        ADD_FAILURE() << "no section of type " << type;
        return 0;
    };
    const auto patch = [](std::vector<char>& bytes, std::size_t at, auto value) {
        std::memcpy(bytes.data() + at, &value, sizeof value);
    };
    const std::size_t verneed = sectionOffset(SHT_GNU_verneed);
    const std::size_t dynsym = sectionOffset(SHT_DYNSYM);
    Elf64_Shdr verneedHeader;
    std::memcpy(&verneedHeader, good.data() + verneed, sizeof verneedHeader);

    struct Case {
        const char* name;
        std::function<void(std::vector<char>&)> damage;
        const char* words;
    };
    const Case cases[] = {
        {"empty", [](auto& b) { b.clear(); }, "ELF header"},
        {"text", [](auto& b) { b.assign(100, 'x'); }, "not an ELF file"},
        {"32-bit", [](auto& b) { b[EI_CLASS] = ELFCLASS32; }, "not a 64-bit ELF file"},
        {"cut after the header", [](auto& b) { b.resize(200); }, "section headers"},
        {"section headers past the end",
         [&](auto& b) { patch(b, offsetof(Elf64_Ehdr, e_shoff), Elf64_Off(b.size() - 8)); },
         "beyond the end"},
        {"symbol table with no string table",
         [&](auto& b) { patch(b, dynsym + offsetof(Elf64_Shdr, sh_link), Elf64_Word(60000)); },
         "string table"},
        {"symbol table past the end",
         [&](auto& b) { patch(b, dynsym + offsetof(Elf64_Shdr, sh_offset), Elf64_Off(b.size() + 100)); },
         "dynamic symbol table"},
        {"huge version table",
         [&](auto& b) { patch(b, verneed + offsetof(Elf64_Shdr, sh_size), Elf64_Xword(1) << 40); },
         "implausibly large"},
        {"version chain out of its section",
         [&](auto& b) {
             patch(b, verneedHeader.sh_offset + offsetof(Elf64_Verneed, vn_aux), Elf64_Word(0x7fffff00));
         },
         "run past the end"},
        {"version name outside the strings",
         [&](auto& b) {
             Elf64_Verneed need;
             std::memcpy(&need, b.data() + verneedHeader.sh_offset, sizeof need);
             patch(b, verneedHeader.sh_offset + need.vn_aux + offsetof(Elf64_Vernaux, vna_name),
                   Elf64_Word(0xfffffff0));
         },
         "outside the string table"},
    };
    char folder[] = "/tmp/elfneeds_test.XXXXXX";
    ASSERT_NE(mkdtemp(folder), nullptr);
    for (const Case& c : cases) {
        std::vector<char> bytes = good;
        c.damage(bytes);
        const std::string path = std::string(folder) + "/damaged.so";
        std::ofstream(path, std::ios::binary | std::ios::trunc)
            .write(bytes.data(), std::streamsize(bytes.size()));
        Needs read(path);
        EXPECT_FALSE(read.ok) << c.name;
        EXPECT_EQ(read.error.rfind(path + ": ", 0), 0u) << c.name << ": " << read.error;
        EXPECT_NE(read.error.find(c.words), std::string::npos) << c.name << ": " << read.error;
        EXPECT_EQ(read.needs.needed, nullptr) << c.name;
        std::remove(path.c_str());
    }
    Needs missing(std::string(folder) + "/missing.so");
    EXPECT_FALSE(missing.ok);
    EXPECT_NE(missing.error.find("No such file"), std::string::npos) << missing.error;
    rmdir(folder);
}

}  // namespace
