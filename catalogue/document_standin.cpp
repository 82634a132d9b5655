// Stand-in for the writer's document until its branch is merged: one field per line, always.
#include "catalogue/document.h"

namespace catalogue {
namespace {
std::string quoted(const std::string& t) {
    if (t.find(',') != std::string::npos || (!t.empty() && (t[0] == ' ' || t[0] == '"' || t[0] == '\t')))
        return '"' + t + '"';
    return t;
}
}  // namespace
std::variant<Document, Error> Document::read(std::string_view bytes, std::string_view fileName) {
    Result r = readCatalogue(bytes, fileName);
    if (auto* e = std::get_if<Error>(&r)) return *e;
    const Module1& m = std::get<Module1>(r);
    Document d;
    d.fields_.title = m.Title;
    d.fields_.subtitle = m.Subtitle;
    d.fields_.publisher = m.Publisher;
    d.fields_.date = m.Date;
    d.fields_.documentFlags = m.DocumentFlags;
    d.fields_.colours = m.ColourTable;
    for (int n = 1; n <= m.ProgramCount; ++n)
        d.fields_.entries.push_back({m.ProgramName[n], m.ProgramSize[n], m.ProgramCommand[n],
                                     m.ProgramFolder[n], m.ProgramDescription[n]});
    return d;
}
Document Document::blank() {
    Document d;
    d.fields_.title = "New medium";
    d.fields_.colours = {12632256, 8388608, 16777215, 16777215, 0, 12632256, 0, 16777215, 0};
    d.fields_.entries.push_back({"Program", 0, "setup.sh", "program", ""});
    return d;
}
const Fields& Document::fields() const { return fields_; }
void Document::setFields(Fields f) { fields_ = std::move(f); }
std::vector<std::string> Document::problems() const {
    std::vector<std::string> p;
    if (fields_.entries.empty()) p.push_back("the catalogue needs at least one entry");
    if (fields_.entries.size() > std::size_t(MaxEntries)) p.push_back("more than 201 entries");
    return p;
}
std::string Document::write() const {
    std::string out = "discmenu catalogue\nformat 1\n";
    const Fields& f = fields_;
    for (const auto* t : {&f.title, &f.subtitle, &f.publisher, &f.date}) out += quoted(*t) + "\n";
    for (int slot : {1, 3, 2, 4}) out += std::to_string(f.documentFlags[slot]) + "\n";
    for (auto c : f.colours) out += std::to_string(c) + "\n";
    out += ">>\n";
    for (std::size_t i = 0; i < f.entries.size(); ++i) {
        const Entry& e = f.entries[i];
        out += quoted(e.name) + "\n" + std::to_string(e.size) + "\n" + quoted(e.command) + "\n" +
               quoted(e.folder) + "\n" + quoted(e.description) + "\n" +
               (i + 1 == f.entries.size() ? "<<\n" : ">>\n");
    }
    return out;
}
int Document::lineOfHeaderField(int field) const { return field; }
int Document::lineOfEntryField(int entry, int field) const { return 21 + 6 * (entry - 1) + field; }
}  // namespace catalogue
