#include "launcher/elfneeds.h"

#include <elf.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace launcher {
namespace {

// No table of a program's dynamic linking comes near this; a larger one means a damaged file.
constexpr std::uint64_t kMaxTable = 64u << 20;

class Reader {
public:
    Reader(const char* path, char* error, std::size_t errorSize)
        : path_(path), error_(error), errorSize_(errorSize) {}
    ~Reader() {
        if (fd_ >= 0) close(fd_);
    }
    Reader(const Reader&) = delete;
    Reader& operator=(const Reader&) = delete;

    bool open() {
        fd_ = ::open(path_, O_RDONLY | O_CLOEXEC);
        struct stat info {};
        if (fd_ < 0 || fstat(fd_, &info) != 0) return fail("cannot read it: %s", std::strerror(errno));
        if (!S_ISREG(info.st_mode)) return fail("it is not a file");
        size_ = static_cast<std::uint64_t>(info.st_size);
        return true;
    }

    // Reads `size` bytes at `offset` into `out`; fails when they lie beyond the end of the file.
    bool read(std::uint64_t offset, std::uint64_t size, void* out, const char* what) {
        if (offset > size_ || size > size_ - offset) {
            return fail("its %s (%llu bytes at offset %llu) lies beyond the end of the file (%llu bytes)",
                        what, static_cast<unsigned long long>(size), static_cast<unsigned long long>(offset),
                        static_cast<unsigned long long>(size_));
        }
        auto* bytes = static_cast<char*>(out);
        while (size > 0) {
            const ssize_t got = pread(fd_, bytes, size, static_cast<off_t>(offset));
            if (got < 0 && errno == EINTR) continue;
            if (got <= 0)
                return fail("cannot read its %s: %s", what, got < 0 ? std::strerror(errno) : "short read");
            bytes += got;
            offset += static_cast<std::uint64_t>(got);
            size -= static_cast<std::uint64_t>(got);
        }
        return true;
    }

    // A section's contents in a new buffer with one zero byte appended (so that a string table
    // always ends in one); nullptr on failure.
    char* section(const Elf64_Shdr& header, const char* what) {
        if (header.sh_type == SHT_NOBITS || header.sh_size > kMaxTable) {
            fail("its %s is %s", what, header.sh_type == SHT_NOBITS ? "empty" : "implausibly large");
            return nullptr;
        }
        char* data = static_cast<char*>(std::malloc(header.sh_size + 1));
        if (!data) {
            fail("out of memory for its %s", what);
            return nullptr;
        }
        if (!read(header.sh_offset, header.sh_size, data, what)) {
            std::free(data);
            return nullptr;
        }
        data[header.sh_size] = '\0';
        return data;
    }

    __attribute__((format(printf, 2, 3))) bool fail(const char* format, ...) {
        int used = std::snprintf(error_, errorSize_, "%s: ", path_);
        if (used < 0 || static_cast<std::size_t>(used) >= errorSize_) return false;
        va_list args;
        va_start(args, format);
        std::vsnprintf(error_ + used, errorSize_ - static_cast<std::size_t>(used), format, args);
        va_end(args);
        return false;
    }

private:
    const char* path_;
    char* error_;
    std::size_t errorSize_;
    int fd_ = -1;
    std::uint64_t size_ = 0;
};

// One version a program requires: the index its symbols refer to, the library and the name.
struct Required {
    unsigned index;
    const char* library;
    const char* name;
};

// Everything read from the file, freed in one place.
struct Tables {
    Elf64_Shdr* sections = nullptr;
    char* strings = nullptr;
    char* symbols = nullptr;
    char* dynamic = nullptr;
    char* versym = nullptr;
    char* verneed = nullptr;
    Required* required = nullptr;
    ~Tables() {
        std::free(sections);
        std::free(strings);
        std::free(symbols);
        std::free(dynamic);
        std::free(versym);
        std::free(verneed);
        std::free(required);
    }
};

}  // namespace

bool readElfNeeds(const char* path, ElfNeeds& needs, char* error, std::size_t errorSize) {
    needs = ElfNeeds{};
    Reader file(path, error, errorSize);
    if (!file.open()) return false;

    Elf64_Ehdr header;
    if (!file.read(0, sizeof header, &header, "ELF header")) return false;
    if (std::memcmp(header.e_ident, ELFMAG, SELFMAG) != 0) return file.fail("it is not an ELF file");
    if (header.e_ident[EI_CLASS] != ELFCLASS64) return file.fail("it is not a 64-bit ELF file");
    const bool littleEndian = __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__;
    if (header.e_ident[EI_DATA] != (littleEndian ? ELFDATA2LSB : ELFDATA2MSB)) {
        return file.fail("it is an ELF file of the other byte order");
    }
    if (header.e_shnum == 0 || header.e_shentsize != sizeof(Elf64_Shdr)) {
        return file.fail(
            "it has no section headers of the expected size (%u headers of %u bytes, expected %zu)",
            header.e_shnum, header.e_shentsize, sizeof(Elf64_Shdr));
    }

    Tables t;
    const std::size_t count = header.e_shnum;
    t.sections = static_cast<Elf64_Shdr*>(std::calloc(count, sizeof(Elf64_Shdr)));
    if (!t.sections) return file.fail("out of memory for its section headers");
    if (!file.read(header.e_shoff, count * sizeof(Elf64_Shdr), t.sections, "section headers")) return false;

    const Elf64_Shdr *dynsym = nullptr, *dynamic = nullptr, *versym = nullptr, *verneed = nullptr;
    for (std::size_t i = 0; i < count; ++i) {
        const Elf64_Shdr& s = t.sections[i];
        if (s.sh_type == SHT_DYNSYM) dynsym = &s;
        if (s.sh_type == SHT_DYNAMIC) dynamic = &s;
        if (s.sh_type == SHT_GNU_versym) versym = &s;
        if (s.sh_type == SHT_GNU_verneed) verneed = &s;
    }
    if (!dynsym || !dynamic) return file.fail("it is not dynamically linked (no dynamic symbol table)");
    if (dynsym->sh_link >= count || t.sections[dynsym->sh_link].sh_type != SHT_STRTAB) {
        return file.fail("its dynamic symbol table names no string table (link %u)", dynsym->sh_link);
    }
    if (dynsym->sh_entsize != sizeof(Elf64_Sym) || dynamic->sh_entsize != sizeof(Elf64_Dyn)) {
        return file.fail("its dynamic tables have entries of unexpected size (%llu and %llu bytes)",
                         static_cast<unsigned long long>(dynsym->sh_entsize),
                         static_cast<unsigned long long>(dynamic->sh_entsize));
    }
    const Elf64_Shdr& stringHeader = t.sections[dynsym->sh_link];
    const std::uint64_t stringSize = stringHeader.sh_size;
    if (!(t.strings = file.section(stringHeader, "dynamic string table")) ||
        !(t.symbols = file.section(*dynsym, "dynamic symbol table")) ||
        !(t.dynamic = file.section(*dynamic, "dynamic section")) ||
        (versym && !(t.versym = file.section(*versym, "symbol version table"))) ||
        (verneed && !(t.verneed = file.section(*verneed, "version requirements")))) {
        return false;
    }
    // A string at `offset` of the dynamic string table; nullptr when the offset lies outside it.
    const auto string = [&](std::uint64_t offset) -> const char* {
        return offset < stringSize ? t.strings + offset : nullptr;
    };

    // The versions required, walked as the loader does: one record per library, each with a
    // chain of versions; both chains are bounded by the section's size.
    int requiredCount = 0;
    if (verneed) {
        const std::uint64_t size = verneed->sh_size;
        t.required = static_cast<Required*>(std::calloc(size / sizeof(Elf64_Vernaux) + 1, sizeof(Required)));
        if (!t.required) return file.fail("out of memory for its version requirements");
        std::uint64_t offset = 0;
        for (std::uint64_t records = 0; records < size / sizeof(Elf64_Verneed); ++records) {
            Elf64_Verneed need;
            if (offset > size || size - offset < sizeof need) {
                return file.fail("its version requirements run past the end of their section");
            }
            std::memcpy(&need, t.verneed + offset, sizeof need);
            const char* library = string(need.vn_file);
            if (!library)
                return file.fail("its version requirements name a library outside the string table");
            std::uint64_t auxOffset = offset + need.vn_aux;
            for (unsigned k = 0; k < need.vn_cnt; ++k) {
                Elf64_Vernaux aux;
                if (auxOffset > size || size - auxOffset < sizeof aux ||
                    static_cast<std::uint64_t>(requiredCount) >= size / sizeof(Elf64_Vernaux)) {
                    return file.fail("the versions it requires of %s run past the end of their section",
                                     library);
                }
                std::memcpy(&aux, t.verneed + auxOffset, sizeof aux);
                const char* name = string(aux.vna_name);
                if (!name)
                    return file.fail("a version it requires of %s lies outside the string table", library);
                t.required[requiredCount++] = Required{aux.vna_other & 0x7fffu, library, name};
                auxOffset += aux.vna_next;
            }
            if (need.vn_next == 0) break;
            offset += need.vn_next;
        }
    }

    // The libraries it names.
    const std::size_t dynamicCount = dynamic->sh_size / sizeof(Elf64_Dyn);
    needs.needed = static_cast<const char**>(std::calloc(dynamicCount + 1, sizeof(const char*)));
    if (!needs.needed) return file.fail("out of memory for its list of libraries");
    for (std::size_t i = 0; i < dynamicCount; ++i) {
        Elf64_Dyn entry;
        std::memcpy(&entry, t.dynamic + i * sizeof entry, sizeof entry);
        if (entry.d_tag == DT_NULL) break;
        if (entry.d_tag != DT_NEEDED) continue;
        const char* name = string(entry.d_un.d_val);
        if (!name) {
            freeElfNeeds(needs);
            return file.fail("a library it needs is named outside the string table");
        }
        needs.needed[needs.neededCount++] = name;
    }

    // Its imports: the undefined symbols (entry 0 is always the null symbol).
    const std::size_t symbolCount = dynsym->sh_size / sizeof(Elf64_Sym);
    if (versym && versym->sh_size / sizeof(Elf64_Half) < symbolCount) {
        freeElfNeeds(needs);
        return file.fail("its symbol version table is shorter than its symbol table");
    }
    needs.symbols = static_cast<ImportedSymbol*>(std::calloc(symbolCount + 1, sizeof(ImportedSymbol)));
    if (!needs.symbols) {
        freeElfNeeds(needs);
        return file.fail("out of memory for its symbols");
    }
    for (std::size_t i = 1; i < symbolCount; ++i) {
        Elf64_Sym symbol;
        std::memcpy(&symbol, t.symbols + i * sizeof symbol, sizeof symbol);
        if (symbol.st_shndx != SHN_UNDEF) continue;
        ImportedSymbol imported{string(symbol.st_name), nullptr, nullptr,
                                ELF64_ST_BIND(symbol.st_info) == STB_WEAK};
        if (!imported.name) {
            freeElfNeeds(needs);
            return file.fail("symbol %zu is named outside the string table", i);
        }
        if (versym) {
            Elf64_Half index;
            std::memcpy(&index, t.versym + i * sizeof index, sizeof index);
            index &= 0x7fff;
            if (index > VER_NDX_GLOBAL) {
                for (int k = 0; k < requiredCount && !imported.version; ++k) {
                    if (t.required[k].index == index) {
                        imported.version = t.required[k].name;
                        imported.library = t.required[k].library;
                    }
                }
                if (!imported.version) {
                    freeElfNeeds(needs);
                    return file.fail("symbol %s refers to version %u, which the file does not require",
                                     imported.name, index);
                }
            }
        }
        needs.symbols[needs.symbolCount++] = imported;
    }
    needs.strings = t.strings;
    t.strings = nullptr;
    return true;
}

void freeElfNeeds(ElfNeeds& needs) {
    std::free(needs.strings);
    std::free(static_cast<void*>(needs.needed));
    std::free(needs.symbols);
    needs = ElfNeeds{};
}

}  // namespace launcher
