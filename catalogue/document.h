#pragma once
// Interface copy of the writer's catalogue document, used until the writer's branch is merged.
#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "catalogue/catalogue.h"

namespace catalogue {
struct Entry {
    std::string name;
    std::int32_t size = 0;
    std::string command, folder, description;
};
struct Fields {
    std::string title, subtitle, publisher, date;
    std::array<std::int64_t, 5> documentFlags{};
    std::array<std::int32_t, 9> colours{};
    std::vector<Entry> entries;
};
class Document {
public:
    static std::variant<Document, Error> read(std::string_view bytes,
                                              std::string_view fileName = CatalogueFileName);
    static Document blank();
    const Fields& fields() const;
    void setFields(Fields fields);
    std::vector<std::string> problems() const;
    std::string write() const;
    int lineOfHeaderField(int field) const;
    int lineOfEntryField(int entry, int field) const;

private:
    Fields fields_;
};
}  // namespace catalogue
