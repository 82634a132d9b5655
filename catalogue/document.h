#pragma once
// A catalogue that can be edited and written back without losing anything. No GUI.
//
// Reading keeps the file's bytes and where every field stands in them; writing copies those bytes
// and replaces only the fields whose values changed, so a catalogue read and written with no change
// is the same file, byte for byte: its encoding and byte-order mark, its line ends (CR LF, LF, CR,
// even mixed), the two ignored fields at the top, the lead-in, the separators, several fields on one
// line, quoting, blanks, number notations (&H, &O, "1200 Kb") and whatever follows the end marker.
//
// An edited field is written in place of the old one: its comma-separated piece of the line, or its
// line, with the blanks before it and the comma or line end after it kept. Numbers are written in
// decimal (colours with the top bit set as 2147483648 plus the index). A text is put between double
// quotes when it needs them (a comma, a line break, blanks at either end); a text the format cannot
// hold is named by problems(). Entries are matched to the file's entries by content: an entry
// that is unchanged keeps its lines even when it moves, an edited one keeps its lines but for the
// fields edited, a removed one takes its lines with it, and an added one is written one field per
// line with the line end most used in the file; separators stay where they are, new ones copy the
// file's first separator, and the end marker with everything after it stays last.
//
// Encoding of edited text: a UTF-8 or UTF-16 file stays in its encoding and byte order. A
// Windows-1252 file stays Windows-1252 while every edited character has a byte there; when an edit
// brings one that has none (say a Greek letter), or when the bytes written would read as UTF-8
// (which the reader would then prefer), the whole file is written as UTF-8 with a byte-order mark:
// every character keeps its value, and both builds read it so.
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "catalogue/catalogue.h"
#include "catalogue/fields.h"

namespace catalogue {

// How a catalogue's text is stored.
enum class Encoding {
    Utf8,         // UTF-8 without a byte-order mark
    Utf8Bom,      // UTF-8 behind EF BB BF
    Windows1252,  // bytes that are not valid UTF-8
    Utf16Le,      // behind FF FE
    Utf16Be,      // behind FE FF
};

// Why the menu refuses a catalogue that was opened anyway, and the field it stopped at.
struct Refusal {
    Error error;            // as the reader says it
    int line = 0;           // where the field stopped at stands in the file read
    std::string fieldText;  // that field as it stands there (its first line only), in UTF-8; empty
                            // where the file ends instead
    // The other fields can be edited (the known part is laid out as in a catalogue that reads);
    // else only the field stopped at can be mended, and the fields shown are those read before it.
    bool fieldsEditable = false;
    // Saved with that field as it is, the program list ends after the last entry read: an end
    // marker line goes after it, and the rest of the file stays behind that, unread by the menu.
    bool endsList = false;
    int entriesRead = 0;  // the entries before the field stopped at
};

class Document {
public:
    // Reads a catalogue's bytes exactly as the menu does (same reader, same errors) and keeps what
    // is needed to write it back byte for byte.
    static std::variant<Document, Error> read(std::string_view bytes,
                                              std::string_view fileName = CatalogueFileName);
    // Reads as read() does, but also a catalogue the menu refuses: then refusal() says why and
    // where, fields() holds every field read before the place it stopped (and after it, where a
    // number out of range stopped it: such a field reads as 0 until mended), and write() gives back
    // every byte of the file but for the fields edited, the field stopped at as mended with
    // setRefusedText(), and (see Refusal::endsList) one end marker line. Once the field is mended,
    // write() reads as a catalogue and open(write()) is an ordinary document.
    static Document open(std::string_view bytes, std::string_view fileName = CatalogueFileName);

    const std::optional<Refusal>& refusal() const { return refusal_; }
    // The field the reader stopped at, as the publisher mends it (one line of text, in UTF-8).
    void setRefusedText(std::string text);
    const std::string& refusedText() const { return refusedText_; }

    // A new catalogue: default texts, flags and colours, one entry. It is UTF-8 with a byte-order
    // mark and CR LF line ends, and its two ignored lines say what the file is.
    static Document blank();

    const Fields& fields() const { return fields_; }
    // Replaces the fields; a later write() changes only the lines of fields that differ.
    void setFields(Fields fields);

    // Why the fields cannot be written as they are (a text the format cannot hold, too many or no
    // entries), one message per problem naming the field; empty when write() can write them.
    // Written anyway, such a text loses the characters that make it impossible (double quotes, bytes
    // that are not UTF-8), so that every other field keeps its place and line; with no entries,
    // the file ends after the lead-in.
    std::vector<std::string> problems() const;

    // The file's bytes; Document::read(write()) gives fields() again (when problems() is empty).
    std::string write() const;

    // The 1-based line of write() where a field starts: header fields 1 to 20 numbered as in the
    // field table of docs/catalogue.md; entry fields of entry n (1-based) by their role
    // (fields::EntryRole: 0 name, 1 size, 2 command, 3 folder, 4 description, 5 the separator after
    // it, the end marker after the last entry). 0 for a field that does not exist.
    int lineOfHeaderField(int field) const;
    int lineOfEntryField(int entry, int field) const;
    int lineOf(fields::Place place) const;

    // The encoding of the file as read, and of write() (which differs only when a Windows-1252 file
    // had to become UTF-8).
    Encoding encoding() const { return encoding_; }
    Encoding writtenEncoding() const { return writtenEncoding_; }

    // Where one field stands in the bytes read: [begin, value) holds the blanks before it,
    // [value, valueEnd) the field as written (quotes included), [valueEnd, end) the comma or line end
    // after it (nothing at the end of the file).
    struct Piece {
        std::size_t begin = 0, value = 0, valueEnd = 0, end = 0;
    };

private:
    Document() = default;
    static std::optional<Document> fromTables(std::string_view bytes, Module1& m);
    void layOut();

    std::string original_;  // the bytes read
    Encoding encoding_ = Encoding::Utf8;
    Encoding writtenEncoding_ = Encoding::Utf8;
    std::array<Piece, fields::HeaderCount> header_{};
    std::vector<std::array<Piece, fields::EntryCount>>
        entryPieces_;       // name to separator, per entry in the file
    std::string lineEnd_;   // for added lines, in UTF-8
    Fields read_, fields_;  // as read, and as they are now
    std::string written_;
    std::vector<int> lines_;  // by fields::Place

    // A refused file is kept as a stand-in that reads (original_): numbers out of range replaced by
    // a 0 of the same length, and possibly an end marker line inserted before the part that cannot
    // be read. write() puts the file's own bytes back in their places.
    struct Restore {
        std::size_t at = 0;  // where the 0 stands in the stand-in
        std::string bytes;   // what stood there in the file
    };
    std::optional<Refusal> refusal_;
    std::string refusedText_;
    std::string refusedBytes_;             // the field stopped at, as in the file
    std::vector<Restore> restores_;        // in file order; the first is the field stopped at when
    bool refusedIsRestore_ = false;        // ... this is set
    std::vector<std::size_t> restoredAt_;  // where each one stands in written_ (npos: edited away)
    std::size_t markerBytes_ = 0;          // the end marker line inserted (0: none)
    std::size_t tailBytes_ = 0;            // the file's bytes behind it
    std::size_t refusedFromEnd_ = 0;       // the field stopped at, counted back from the end of the file
    bool readOnly_ = false;                // nothing but the field stopped at can be written
};

}  // namespace catalogue
