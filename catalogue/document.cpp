#include "catalogue/document.h"

#include <algorithm>
#include <functional>
#include <optional>
#include <utility>

#include "catalogue/fieldinput.h"

namespace catalogue {
namespace {

using Piece = Document::Piece;

using fields::Kind;

constexpr int HeaderFields = fields::HeaderCount;
constexpr int EntryFields = fields::EntryCount;
constexpr std::string_view Utf8Bom = "\xEF\xBB\xBF";

bool isBlank(unsigned c) { return c == ' ' || c == '\t'; }
bool isLineEnd(unsigned c) { return c == '\r' || c == '\n'; }

// A catalogue's bytes seen as a sequence of code units: bytes for UTF-8 and Windows-1252, 16-bit
// units for UTF-16. The field syntax needs only the ASCII characters, which are single units in all
// of these (every byte of a UTF-8 sequence or a Windows-1252 letter is 0x80 or above, and so is
// every unit of a UTF-16 character beyond ASCII), so fields are found without decoding the text.
struct Units {
    std::string_view bytes;
    std::size_t start = 0;  // after the byte-order mark
    std::size_t width = 1;
    bool bigEndian = false;

    // Where the last whole unit ends (an odd byte at the end of UTF-16 is not a unit).
    std::size_t end() const { return bytes.size() - (bytes.size() - start) % width; }
    unsigned at(std::size_t pos) const {
        const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(bytes[i]); };
        if (width == 1) return byte(pos);
        return bigEndian ? byte(pos) << 8 | byte(pos + 1) : byte(pos + 1) << 8 | byte(pos);
    }
};

Encoding detectEncoding(std::string_view bytes) {
    if (bytes.starts_with("\xFF\xFE")) return Encoding::Utf16Le;
    if (bytes.starts_with("\xFE\xFF")) return Encoding::Utf16Be;
    if (bytes.starts_with(Utf8Bom)) return Encoding::Utf8Bom;
    return isValidUtf8(bytes) ? Encoding::Utf8 : Encoding::Windows1252;
}

Units unitsOf(std::string_view bytes, Encoding encoding) {
    switch (encoding) {
        case Encoding::Utf16Le:
            return {bytes, 2, 2, false};
        case Encoding::Utf16Be:
            return {bytes, 2, 2, true};
        case Encoding::Utf8Bom:
            return {bytes, Utf8Bom.size(), 1, false};
        case Encoding::Utf8:
        case Encoding::Windows1252:
            break;
    }
    return {bytes, 0, 1, false};
}

// Finds the fields as the reader's field input does (FieldInput::next), but reports
// where each one stands instead of its text.
class Scanner {
public:
    explicit Scanner(const Units& units) : u_(units), end_(units.end()), pos_(units.start) {}

    std::optional<Piece> next() {
        Piece piece;
        piece.begin = pos_;
        const bool promised = afterComma_;
        afterComma_ = false;
        while (pos_ < end_ && isBlank(u_.at(pos_))) pos_ += u_.width;
        piece.value = pos_;
        if (pos_ >= end_) {
            if (!promised) return std::nullopt;
            piece.valueEnd = piece.end = pos_;
            return piece;
        }
        if (u_.at(pos_) == '"') {
            pos_ += u_.width;
            while (pos_ < end_ && u_.at(pos_) != '"') pos_ += u_.width;
            if (pos_ < end_) pos_ += u_.width;
        }
        while (pos_ < end_ && u_.at(pos_) != ',' && !isLineEnd(u_.at(pos_))) pos_ += u_.width;
        piece.valueEnd = pos_;
        if (pos_ < end_) {
            if (u_.at(pos_) == ',') {
                afterComma_ = true;
            } else if (u_.at(pos_) == '\r' && pos_ + u_.width < end_ && u_.at(pos_ + u_.width) == '\n') {
                pos_ += u_.width;
            }
            pos_ += u_.width;
        }
        piece.end = pos_;
        return piece;
    }

private:
    Units u_;
    std::size_t end_;
    std::size_t pos_;
    bool afterComma_ = false;
};

// The line end used most in the file (CR LF when there is none, or on a tie), in UTF-8.
std::string commonLineEnd(const Units& u) {
    std::size_t crlf = 0, lf = 0, cr = 0;
    const std::size_t end = u.end();
    for (std::size_t pos = u.start; pos < end; pos += u.width) {
        const unsigned c = u.at(pos);
        if (c == '\n') {
            ++lf;
        } else if (c == '\r') {
            if (pos + u.width < end && u.at(pos + u.width) == '\n') {
                ++crlf;
                pos += u.width;
            } else {
                ++cr;
            }
        }
    }
    if (crlf >= lf && crlf >= cr) return "\r\n";
    return lf >= cr ? "\n" : "\r";
}

// The code points of valid UTF-8 text.
template <typename Visit>
void forEachCodePoint(std::string_view utf8, Visit visit) {
    for (std::size_t i = 0; i < utf8.size();) {
        const auto lead = static_cast<unsigned char>(utf8[i]);
        const std::size_t length = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
        char32_t c = length == 1 ? lead : lead & (0x3F >> (length - 1));
        for (std::size_t k = 1; k < length && i + k < utf8.size(); ++k) c = c << 6 | (utf8[i + k] & 0x3F);
        i += length;
        visit(c);
    }
}

std::optional<char> toWindows1252(char32_t c) {
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) return static_cast<char>(c);
    for (unsigned b = 0x80; b <= 0x9F; ++b) {
        if (fromWindows1252(static_cast<unsigned char>(b)) == c) return static_cast<char>(b);
    }
    return std::nullopt;
}

// Valid UTF-8 with every ill-formed byte replaced by U+FFFD.
std::string repairedUtf8(std::string_view s) {
    if (isValidUtf8(s)) return std::string(s);
    std::string out;
    for (std::size_t i = 0; i < s.size(); ++i) {
        std::size_t n = 1;
        while (n <= 4 && i + n <= s.size() && !isValidUtf8(s.substr(i, n))) ++n;
        if (n <= 4 && i + n <= s.size()) {
            out.append(s.substr(i, n));
            i += n - 1;
        } else {
            appendUtf8(out, 0xFFFD);
        }
    }
    return out;
}

// Why a text cannot be written so that it reads back as it is, if it cannot.
enum class TextProblem { None, NotUtf8, LeadingQuote, QuoteNeedsQuoting };

struct WrittenText {
    std::string text;  // as written, in UTF-8
    TextProblem problem = TextProblem::None;
    std::string_view reason;  // with QuoteNeedsQuoting: why it needs quotes
};

// A text field as written. Quotes are needed for a comma or a line break (which would end the
// field), blanks at either end (which the reader drops) and a leading double quote (which would
// start a quoted field); a quoted text runs to the next double quote, so it cannot hold one.
WrittenText writtenText(std::string_view text) {
    WrittenText out;
    std::string repaired;
    if (!isValidUtf8(text)) {
        out.problem = TextProblem::NotUtf8;
        repaired = repairedUtf8(text);
        text = repaired;
    }
    std::string_view reason;
    if (text.find(',') != std::string_view::npos) {
        reason = "a comma";
    } else if (text.find_first_of("\r\n") != std::string_view::npos) {
        reason = "a line break";
    } else if (!text.empty() && isBlank(static_cast<unsigned char>(text.front()))) {
        reason = "blanks at its start";
    } else if (!text.empty() && isBlank(static_cast<unsigned char>(text.back()))) {
        reason = "blanks at its end";
    }
    const bool leadingQuote = text.starts_with('"');
    if (reason.empty() && !leadingQuote) {
        out.text = text;
        return out;
    }
    if (text.find('"') != std::string_view::npos && out.problem == TextProblem::None) {
        out.problem = leadingQuote ? TextProblem::LeadingQuote : TextProblem::QuoteNeedsQuoting;
        out.reason = reason;
    }
    out.text = '"';
    for (const char c : text) {
        if (c != '"') out.text += c;
    }
    out.text += '"';
    return out;
}

// Colours are 32-bit patterns; a system colour (top bit set) is written as 2147483648 plus its index.
std::string colourText(std::int32_t colour) { return std::to_string(static_cast<std::uint32_t>(colour)); }

// For each entry of `now`, the entry of `old` whose lines it takes, or -1 for new lines.
// Equal entries are paired in order along a longest common subsequence; an entry that moved keeps
// its lines too; what remains between two paired entries is paired in order (an edited entry
// keeps its lines but for the fields edited).
std::vector<int> matchEntries(const std::vector<Entry>& old, const std::vector<Entry>& now) {
    const int n = static_cast<int>(old.size()), m = static_cast<int>(now.size());
    // Entries are compared many times over: by a hash first.
    const auto hashes = [](const std::vector<Entry>& entries) {
        std::vector<std::size_t> out;
        out.reserve(entries.size());
        const std::hash<std::string_view> h;
        for (const Entry& e : entries) {
            std::size_t v = h(e.name) ^ static_cast<std::size_t>(e.size);
            for (const std::string* text : {&e.command, &e.folder, &e.description}) v = v * 31 + h(*text);
            out.push_back(v);
        }
        return out;
    };
    const std::vector<std::size_t> oldHash = hashes(old), nowHash = hashes(now);
    const auto same = [&](int i, int j) { return oldHash[i] == nowHash[j] && old[i] == now[j]; };
    std::vector<int> match(m, -1);
    std::vector<bool> oldUsed(n, false);
    std::vector<std::pair<int, int>> anchors{{-1, -1}};  // paired (old, new) in order

    int prefix = 0;
    while (prefix < n && prefix < m && same(prefix, prefix)) ++prefix;
    int suffix = 0;
    while (suffix < n - prefix && suffix < m - prefix && same(n - 1 - suffix, m - 1 - suffix)) ++suffix;
    for (int i = 0; i < prefix; ++i) anchors.emplace_back(i, i);

    // Longest common subsequence of the middle parts (at most 201 entries each in a catalogue that
    // can be written; larger ones are left to the pairing in order).
    const int a = n - prefix - suffix, b = m - prefix - suffix;
    if (a > 0 && b > 0 && static_cast<std::int64_t>(a) * b <= 1000000) {
        std::vector<std::uint16_t> length((a + 1) * (b + 1), 0);
        const auto at = [&](int i, int j) -> std::uint16_t& { return length[i * (b + 1) + j]; };
        for (int i = a - 1; i >= 0; --i) {
            for (int j = b - 1; j >= 0; --j) {
                at(i, j) = same(prefix + i, prefix + j) ? at(i + 1, j + 1) + 1
                                                        : std::max(at(i + 1, j), at(i, j + 1));
            }
        }
        for (int i = 0, j = 0; i < a && j < b;) {
            if (same(prefix + i, prefix + j)) {
                anchors.emplace_back(prefix + i, prefix + j);
                ++i;
                ++j;
            } else if (at(i + 1, j) >= at(i, j + 1)) {
                ++i;
            } else {
                ++j;
            }
        }
    }
    for (int k = suffix; k > 0; --k) anchors.emplace_back(n - k, m - k);
    anchors.emplace_back(n, m);
    for (const auto& [i, j] : anchors) {
        if (i >= 0 && i < n) {
            match[j] = i;
            oldUsed[i] = true;
        }
    }

    // Moved: an entry equal to one whose lines are still free.
    for (int j = 0; j < m; ++j) {
        if (match[j] >= 0) continue;
        for (int i = 0; i < n; ++i) {
            if (!oldUsed[i] && same(i, j)) {
                match[j] = i;
                oldUsed[i] = true;
                break;
            }
        }
    }
    // Edited: the free ones between two anchors, in order.
    for (std::size_t k = 0; k + 1 < anchors.size(); ++k) {
        int i = anchors[k].first + 1;
        for (int j = anchors[k].second + 1; j < anchors[k + 1].second; ++j) {
            if (match[j] >= 0) continue;
            while (i < anchors[k + 1].first && oldUsed[i]) ++i;
            if (i >= anchors[k + 1].first) break;
            match[j] = i;
            oldUsed[i] = true;
        }
    }
    return match;
}

void appendUnit(std::string& out, char16_t u, bool bigEndian) {
    const char high = static_cast<char>(u >> 8), low = static_cast<char>(u & 0xFF);
    out += bigEndian ? high : low;
    out += bigEndian ? low : high;
}

// Appends valid UTF-8 `text` to `out` in `target`; false when a character has no byte in
// Windows-1252 (it is left out).
bool encodeText(std::string& out, std::string_view text, Encoding target) {
    bool complete = true;
    switch (target) {
        case Encoding::Utf8:
        case Encoding::Utf8Bom:
            out.append(text);
            break;
        case Encoding::Windows1252:
            forEachCodePoint(text, [&](char32_t c) {
                if (const auto byte = toWindows1252(c)) {
                    out += *byte;
                } else {
                    complete = false;
                }
            });
            break;
        case Encoding::Utf16Le:
        case Encoding::Utf16Be:
            forEachCodePoint(text, [&](char32_t c) {
                const bool big = target == Encoding::Utf16Be;
                if (c >= 0x10000) {
                    appendUnit(out, static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10)), big);
                    appendUnit(out, static_cast<char16_t>(0xDC00 + (c & 0x3FF)), big);
                } else {
                    appendUnit(out, static_cast<char16_t>(c), big);
                }
            });
            break;
    }
    return complete;
}

// Assembles the bytes written: stretches of the file read, copied as they are, and new text,
// encoded as the file is.
class Writer {
public:
    // `converting`: the source is Windows-1252 and `target` UTF-8 with a byte-order mark.
    Writer(const Units& source, Encoding target, bool converting)
        : src_(source), target_(target), converting_(converting) {
        if (converting) out_ += Utf8Bom;
    }

    // Bytes [begin, end) of the file read.
    void copy(std::size_t begin, std::size_t end) {
        if (begin >= end) return;
        separateLineEnds(src_.at(begin));
        if (converting_) {
            for (std::size_t i = begin; i < end; ++i) {
                const auto b = static_cast<unsigned char>(src_.bytes[i]);
                appendUtf8(out_, fromWindows1252(b));
            }
        } else {
            out_.append(src_.bytes.substr(begin, end - begin));
        }
        lastIsCr_ = src_.at(end - src_.width) == '\r';
    }

    // New text, given in valid UTF-8.
    void add(std::string_view text) {
        if (text.empty()) return;
        separateLineEnds(static_cast<unsigned char>(text.front()));
        encode(text);
        lastIsCr_ = text.back() == '\r';
    }

    // The next field starts here.
    void mark() { marks_.push_back(out_.size()); }

    // False when a character added has no byte in Windows-1252.
    bool complete() const { return complete_; }
    std::string& bytes() { return out_; }
    const std::vector<std::size_t>& marks() const { return marks_; }

private:
    // A line end that begins with LF right after a CR alone would join it into one CR LF and lose
    // a line, so the empty field it ends is written as "" instead.
    void separateLineEnds(unsigned first) {
        if (lastIsCr_ && first == '\n') {
            encode("\"\"");
            lastIsCr_ = false;
        }
    }

    void encode(std::string_view text) {
        if (!encodeText(out_, text, target_)) complete_ = false;
    }

    const Units& src_;
    Encoding target_;
    bool converting_;
    std::string out_;
    std::vector<std::size_t> marks_;
    bool lastIsCr_ = false;
    bool complete_ = true;
};

// The 1-based line at each of `offsets` (ascending) in `u`, counting CR LF, LF and CR alone.
std::vector<int> linesAt(const Units& u, const std::vector<std::size_t>& offsets) {
    std::vector<int> lines;
    lines.reserve(offsets.size());
    int line = 1;
    std::size_t pos = u.start;
    const std::size_t end = u.end();
    for (const std::size_t offset : offsets) {
        for (; pos < offset && pos < end; pos += u.width) {
            const unsigned c = u.at(pos);
            if (c == '\n' || (c == '\r' && !(pos + u.width < end && u.at(pos + u.width) == '\n'))) ++line;
        }
        lines.push_back(line);
    }
    return lines;
}

}  // namespace

std::optional<Document> Document::fromTables(std::string_view bytes, Module1& m) {
    Document d;
    d.original_ = bytes;
    d.encoding_ = detectEncoding(bytes);
    const Units units = unitsOf(d.original_, d.encoding_);
    Scanner scanner(units);
    for (Piece& piece : d.header_) {
        const auto next = scanner.next();
        if (!next) return std::nullopt;
        piece = *next;
    }
    d.entryPieces_.resize(m.ProgramCount);
    for (auto& entry : d.entryPieces_) {
        for (Piece& piece : entry) {
            const auto next = scanner.next();
            if (!next) return std::nullopt;
            piece = *next;
        }
    }
    d.lineEnd_ = commonLineEnd(units);

    d.read_ = fields::fieldsFromTables(m, m.ProgramCount);
    d.fields_ = d.read_;
    d.layOut();
    return d;
}

namespace {

Error cannotFollow(std::string_view fileName) {
    return Error{Error::Kind::CannotRead, std::string(fileName), 0,
                 "the catalogue was read, but where its fields stand could not be followed for writing"};
}

// ASCII text in a file's encoding.
std::string asciiIn(std::string_view text, Encoding encoding) {
    std::string out;
    encodeText(out, text, encoding);
    return out;
}

// Windows-1252 bytes as UTF-8.
std::string fromWindows1252Bytes(std::string_view bytes) {
    std::string out;
    for (const char c : bytes) appendUtf8(out, fromWindows1252(static_cast<unsigned char>(c)));
    return out;
}

// A piece of a file's bytes as text, in UTF-8.
std::string decodedPiece(std::string_view bytes, Encoding encoding) {
    switch (encoding) {
        case Encoding::Utf16Le:
            return decodeCatalogueText("\xFF\xFE" + std::string(bytes));
        case Encoding::Utf16Be:
            return decodeCatalogueText("\xFE\xFF" + std::string(bytes));
        case Encoding::Windows1252:
            return fromWindows1252Bytes(bytes);
        case Encoding::Utf8:
        case Encoding::Utf8Bom:
            break;
    }
    return std::string(bytes);
}

constexpr std::size_t Nowhere = std::string::npos;

}  // namespace

std::variant<Document, Error> Document::read(std::string_view bytes, std::string_view fileName) {
    Result result = readCatalogue(bytes, fileName);
    if (auto* error = std::get_if<Error>(&result)) return std::move(*error);
    if (auto d = fromTables(bytes, std::get<Module1>(result))) return std::move(*d);
    return cannotFollow(fileName);
}

Document Document::open(std::string_view bytes, std::string_view fileName) {
    Module1 partial;
    int failed = 0;
    std::optional<Error> error = readCatalogueInto(bytes, fileName, partial, failed);
    if (!error) {
        if (auto d = fromTables(bytes, partial)) return std::move(*d);
        error = cannotFollow(fileName);
    }

    const Encoding encoding = detectEncoding(bytes);
    const Units units = unitsOf(bytes, encoding);
    std::vector<Piece> pieces;
    Scanner scanner(units);
    while (auto piece = scanner.next()) pieces.push_back(*piece);
    const int count = static_cast<int>(pieces.size());
    // Where the first line of a piece ends.
    const auto firstLineEnd = [&](const Piece& p) {
        for (std::size_t pos = p.value; pos < p.valueEnd; pos += units.width) {
            if (isLineEnd(units.at(pos))) return pos;
        }
        return p.valueEnd;
    };
    // A file that ends while fields are still expected has most likely lost a closing quote: the
    // quoted field that runs over a line end is the one to mend.
    const auto stopped = [&](const Error& e, int at) {
        if (e.kind != Error::Kind::UnexpectedEnd) return at;
        for (int i = 0; i < std::min(at, count); ++i) {
            const Piece& p = pieces[i];
            if (p.value < p.valueEnd && units.at(p.value) == '"' && firstLineEnd(p) < p.valueEnd) return i;
        }
        return at;
    };
    const bool mendable = error->kind != Error::Kind::BrokenText && error->kind != Error::Kind::CannotRead;
    const int at = mendable ? stopped(*error, failed) : 0;

    // The stand-in: numbers out of range become 0 (blanks keep their length), then, where the file
    // cannot be read on from some place in the program list, an end marker line goes before it.
    std::string standIn(bytes);
    std::vector<Restore> restores;
    std::optional<Document> laidOut;
    Error now = *error;
    int nowAt = at;
    std::size_t insertAt = Nowhere, markerBytes = 0;
    bool endsList = false;
    for (int round = 0; mendable && round < 100 && now.kind == Error::Kind::NumberOutOfRange && nowAt < count;
         ++round) {
        const Piece& p = pieces[nowAt];
        if (firstLineEnd(p) != p.valueEnd) break;
        std::string zero = asciiIn("0", encoding);
        while (zero.size() < p.valueEnd - p.value) zero += asciiIn(" ", encoding);
        restores.push_back({p.value, std::string(bytes.substr(p.value, p.valueEnd - p.value))});
        standIn.replace(p.value, zero.size(), zero);
        // A number that made a file Windows-1252 (or UTF-8) must not make the stand-in read otherwise.
        if (detectEncoding(standIn) != encoding) break;
        Module1 m;
        int f = 0;
        if (const auto e = readCatalogueInto(standIn, fileName, m, f)) {
            now = *e;
            nowAt = stopped(now, f);
        } else {
            laidOut = fromTables(standIn, m);
            break;
        }
    }
    if (mendable && !laidOut &&
        (now.kind == Error::Kind::UnexpectedEnd || now.kind == Error::Kind::TooManyEntries) &&
        nowAt >= HeaderFields) {
        const int entry = (nowAt - HeaderFields) / EntryFields, field = (nowAt - HeaderFields) % EntryFields;
        int known = 0;
        if (field == EntryFields - 1) {
            // The separator where the end marker belongs (or the end of the file there).
            insertAt = nowAt < count ? pieces[nowAt].begin : units.end();
            endsList = true;
            known = entry + 1;
        } else if (entry >= 1) {
            // Within an entry: the list ends before the separator in front of it.
            insertAt = pieces[HeaderFields + (entry - 1) * EntryFields + EntryFields - 1].begin;
            known = entry;
        }
        if (insertAt != Nowhere) {
            // Numbers behind the end marker are kept as they are, with the rest of the file there.
            while (!restores.empty() && restores.back().at >= insertAt) {
                standIn.replace(restores.back().at, restores.back().bytes.size(), restores.back().bytes);
                restores.pop_back();
            }
            std::string lineEnd = commonLineEnd(units);
            // A CR alone before an LF would make one line end of the two.
            if (lineEnd == "\r" && insertAt < units.end() && units.at(insertAt) == '\n') lineEnd = "\r\n";
            const bool afterField = insertAt > units.start && insertAt == units.end() &&
                                    !isLineEnd(units.at(insertAt - units.width)) &&
                                    units.at(insertAt - units.width) != ',';
            const std::string marker = asciiIn((afterField ? lineEnd : "") + EndMarker + lineEnd, encoding);
            standIn.insert(insertAt, marker);
            markerBytes = marker.size();
            Module1 m;
            int f = 0;
            if (detectEncoding(standIn) == encoding && !readCatalogueInto(standIn, fileName, m, f) &&
                m.ProgramCount == known)
                laidOut = fromTables(standIn, m);
        }
    }

    Refusal refusal;
    refusal.error = *error;
    std::size_t begin = units.end(), end = units.end();
    if (mendable && at < count) {
        begin = pieces[at].value;
        end = firstLineEnd(pieces[at]);
    }
    refusal.line = mendable && at < count ? linesAt(units, {begin}).front() : error->line;
    std::string refusedBytes(bytes.substr(begin, end - begin));
    refusal.fieldText = mendable ? decodedPiece(refusedBytes, encoding) : std::string();

    Document d;
    if (laidOut) {
        d = std::move(*laidOut);
        d.restores_ = std::move(restores);
        d.refusedIsRestore_ = !d.restores_.empty();
        if (markerBytes > 0) {
            d.markerBytes_ = markerBytes;
            d.tailBytes_ = bytes.size() - insertAt;
        }
        refusal.fieldsEditable = true;
        refusal.endsList = endsList && !d.refusedIsRestore_;
        refusal.entriesRead = static_cast<int>(d.read_.entries.size());
    } else {
        // Only the fields before the one stopped at are known; the file is written back as it is
        // but for that one.
        d.original_ = bytes;
        d.encoding_ = d.writtenEncoding_ = encoding;
        d.readOnly_ = true;
        // The field stopped at and those after it are not known (a quote may have run over them).
        const int entries = std::max(0, (at - HeaderFields + 1) / EntryFields);
        d.read_ = fields::fieldsFromTables(partial, entries, at);
        const Fields& f = d.read_;
        d.fields_ = d.read_;
        d.written_ = bytes;
        refusal.entriesRead = static_cast<int>(f.entries.size());
    }
    d.refusedBytes_ = std::move(refusedBytes);
    d.refusedFromEnd_ = bytes.size() - begin;
    d.refusedText_ = refusal.fieldText;
    d.refusal_ = std::move(refusal);
    if (!d.readOnly_) d.layOut();
    return d;
}

void Document::setRefusedText(std::string text) {
    if (refusal_) refusedText_ = std::move(text);
}

std::string Document::write() const {
    if (!refusal_) return written_;
    std::string out = written_;
    const bool converting = encoding_ == Encoding::Windows1252 && writtenEncoding_ != encoding_;
    const auto asWritten = [&](std::string_view bytes) {
        return converting ? fromWindows1252Bytes(bytes) : std::string(bytes);
    };
    const bool mended = refusedText_ != refusal_->fieldText;
    std::string refused;
    if (mended) {
        encodeText(refused, refusedText_, writtenEncoding_);
    } else {
        refused = asWritten(refusedBytes_);
    }
    const std::size_t refusedLength = asWritten(refusedBytes_).size();
    if (readOnly_) {
        out.replace(out.size() - refusedFromEnd_, refusedLength, refused);
        return out;
    }
    if (markerBytes_ > 0) {
        const std::size_t tail =
            asWritten(std::string_view(original_).substr(original_.size() - tailBytes_)).size();
        const std::size_t marker = out.size() - tail - markerBytes_;
        if (!refusedIsRestore_) {
            const std::size_t fromEnd =
                asWritten(std::string_view(original_).substr(original_.size() - refusedFromEnd_)).size();
            out.replace(out.size() - fromEnd, refusedLength, refused);
        }
        if (mended || !refusal_->endsList) out.erase(marker, markerBytes_);
    }
    for (std::size_t i = restores_.size(); i-- > 0;) {
        if (restoredAt_[i] == Nowhere) continue;
        const std::string& back = i == 0 && refusedIsRestore_ ? refused : asWritten(restores_[i].bytes);
        out.replace(restoredAt_[i], restores_[i].bytes.size(), back);
    }
    return out;
}

Document Document::blank() {
    // Every field on a line of its own, with the default the field table gives it.
    std::string text(Utf8Bom);
    for (const fields::HeaderField& h : fields::Header) text.append(h.blank).append("\r\n");
    for (const fields::EntryField& e : fields::EntryFields) text.append(e.blank).append("\r\n");
    return std::get<Document>(read(text));
}

void Document::setFields(Fields fields) {
    fields_ = std::move(fields);
    // With only the field stopped at known, the others are shown but not written.
    if (!readOnly_) layOut();
}

int Document::lineOfHeaderField(int field) const {
    return field >= 1 && field <= HeaderFields && std::size_t(field) <= lines_.size() ? lines_[field - 1] : 0;
}

int Document::lineOfEntryField(int entry, int field) const {
    return entry >= 1 && field >= 0 && field < EntryFields ? lineOf(fields::Place::entry(entry, field)) : 0;
}

int Document::lineOf(fields::Place place) const {
    return place.known() && std::size_t(place.index) < lines_.size() ? lines_[std::size_t(place.index)] : 0;
}

std::vector<std::string> Document::problems() const {
    std::vector<std::string> out;
    if (refusal_ && (refusal_->error.kind == Error::Kind::BrokenText ||
                     refusal_->error.kind == Error::Kind::CannotRead)) {
        out.push_back(refusal_->error.message() + "; the editor cannot write this file back as it stands");
        return out;
    }
    if (refusal_ && refusedText_ != refusal_->fieldText) {
        std::string ignored;
        if (!isValidUtf8(refusedText_) || !encodeText(ignored, refusedText_, writtenEncoding_))
            out.push_back("the field on line " + std::to_string(refusal_->line) +
                          " holds a character that the file's encoding cannot hold");
    }
    if (readOnly_) return out;
    const auto check = [&](const std::string& text, const std::string& name) {
        const WrittenText written = writtenText(text);
        switch (written.problem) {
            case TextProblem::None:
                break;
            case TextProblem::NotUtf8:
                out.push_back(name + " is not valid UTF-8 text");
                break;
            case TextProblem::LeadingQuote:
                out.push_back(name +
                              " begins with a double quote, which the catalogue reads as the start of a "
                              "quoted text; it cannot be written");
                break;
            case TextProblem::QuoteNeedsQuoting:
                out.push_back(
                    name + " holds " + std::string(written.reason) +
                    ", so it must be written between double quotes, and a double quote, which would "
                    "end it there; it cannot hold both");
                break;
        }
    };
    for (const fields::HeaderField& h : fields::Header) {
        if (h.kind == Kind::Text) check(fields_.*h.edited, std::string("the ") + h.name);
    }
    if (fields_.documentFlags[0] != 0) out.push_back("document flag slot 0 is not used; it must be 0");
    const std::size_t count = fields_.entries.size();
    if (count == 0) out.push_back("the catalogue holds no entries; it needs at least one");
    if (count > MaxEntries) {
        out.push_back("the catalogue holds " + std::to_string(count) + " entries; at most " +
                      std::to_string(MaxEntries) + " fit");
    }
    for (std::size_t n = 0; n < count; ++n) {
        const Entry& e = fields_.entries[n];
        const std::string of = " of entry " + std::to_string(n + 1);
        for (const fields::EntryField& f : fields::EntryFields) {
            if (f.kind == Kind::Text) check(e.*f.edited, "the " + (f.name + of));
        }
    }
    return out;
}

void Document::layOut() {
    const Units source = unitsOf(original_, encoding_);
    // The header fields that can be edited, by their number in the file (1-based), as written now
    // and whether they changed since read.
    const auto headerValue = [](const Fields& f, int field) -> std::string {
        const fields::HeaderField& h = fields::Header[field - 1];
        switch (h.kind) {
            case Kind::Text:
                return writtenText(f.*h.edited).text;
            case Kind::Flag:
                return std::to_string(f.documentFlags[std::size_t(h.slot)]);
            case Kind::Colour:
                return colourText(f.colours[std::size_t(h.slot)]);
            default:
                return {};
        }
    };
    const auto entryValue = [](const Entry& e, int field) -> std::string {
        const fields::EntryField& f = fields::EntryFields[field];
        return f.kind == Kind::Number ? std::to_string(e.size) : writtenText(e.*f.edited).text;
    };
    const auto headerChanged = [&](int field) {
        const fields::HeaderField& h = fields::Header[field - 1];
        switch (h.kind) {
            case Kind::Text:
                return fields_.*h.edited != read_.*h.edited;
            case Kind::Flag:
                return fields_.documentFlags[std::size_t(h.slot)] != read_.documentFlags[std::size_t(h.slot)];
            case Kind::Colour:
                return fields_.colours[std::size_t(h.slot)] != read_.colours[std::size_t(h.slot)];
            default:
                return false;
        }
    };
    const auto entryChanged = [](const Entry& now, const Entry& was, int field) {
        const fields::EntryField& f = fields::EntryFields[field];
        return f.kind == Kind::Number ? now.size != was.size : now.*f.edited != was.*f.edited;
    };
    constexpr int Separator = fields::Separator;

    const std::vector<int> match = matchEntries(read_.entries, fields_.entries);
    const std::size_t k = entryPieces_.size(), m = fields_.entries.size();

    const auto assemble = [&](Writer& w) {
        restoredAt_.assign(restores_.size(), Nowhere);
        // A piece of the file as read, with the field's text replaced when it is given.
        const auto piece = [&](const Piece& p, const std::string* value) {
            w.copy(p.begin, p.value);
            w.mark();
            if (!value) {
                for (std::size_t i = 0; i < restores_.size(); ++i) {
                    if (restores_[i].at == p.value) restoredAt_[i] = w.bytes().size();
                }
            }
            if (value) {
                w.add(*value);
            } else {
                w.copy(p.value, p.valueEnd);
            }
            w.copy(p.valueEnd, p.end);
        };
        w.copy(0, header_[0].begin);
        for (int field = 1; field <= HeaderFields; ++field) {
            if (headerChanged(field)) {
                const std::string value = headerValue(fields_, field);
                piece(header_[field - 1], &value);
            } else {
                piece(header_[field - 1], nullptr);
            }
        }
        if (m == 0) return;
        for (std::size_t j = 0; j < m; ++j) {
            const Entry& now = fields_.entries[j];
            if (match[j] >= 0) {
                const Entry& was = read_.entries[match[j]];
                const auto& pieces = entryPieces_[match[j]];
                for (int field = 0; field < Separator; ++field) {
                    if (entryChanged(now, was, field)) {
                        const std::string value = entryValue(now, field);
                        piece(pieces[field], &value);
                    } else {
                        piece(pieces[field], nullptr);
                    }
                }
            } else {
                for (int field = 0; field < Separator; ++field) {
                    w.mark();
                    w.add(entryValue(now, field));
                    w.add(lineEnd_);
                }
            }
            // Separators stay where they are; the end marker and what follows it stay last.
            if (j + 1 == m) {
                piece(entryPieces_[k - 1][Separator], nullptr);
            } else if (j + 1 < k) {
                piece(entryPieces_[j][Separator], nullptr);
            } else if (k >= 2) {
                piece(entryPieces_[0][Separator], nullptr);
            } else {
                w.mark();
                w.add(">>");
                w.add(lineEnd_);
            }
        }
        w.copy(entryPieces_[k - 1][Separator].end, original_.size());
    };

    const auto finish = [&](Writer& writer, Encoding encoding) {
        writtenEncoding_ = encoding;
        written_ = std::move(writer.bytes());
        lines_ = linesAt(unitsOf(written_, encoding), writer.marks());
    };
    Writer writer(source, encoding_, false);
    assemble(writer);
    // A Windows-1252 file that cannot hold a character, or whose bytes would now read as UTF-8 with
    // other characters than it holds, becomes UTF-8 with a byte-order mark.
    if (encoding_ == Encoding::Windows1252 &&
        (!writer.complete() || (isValidUtf8(writer.bytes()) &&
                                std::any_of(writer.bytes().begin(), writer.bytes().end(),
                                            [](char c) { return static_cast<unsigned char>(c) >= 0x80; })))) {
        Writer converted(source, Encoding::Utf8Bom, true);
        assemble(converted);
        finish(converted, Encoding::Utf8Bom);
    } else {
        finish(writer, encoding_);
    }
}

}  // namespace catalogue
