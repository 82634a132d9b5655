#include "gtk/quietchooser.h"

// The settings back end in memory (g_memory_settings_backend_new).
#define G_SETTINGS_ENABLE_BACKEND
#include <elf.h>
#include <gio/gsettingsbackend.h>
#include <link.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstring>

namespace gtk {
namespace {

// The name under which GTK 3 keeps the file chooser's settings object on the GtkSettings of the
// screen (gtkfilechooserutils.c); a chooser takes the one it finds there, else makes its own.
constexpr char ChooserSettingsKey[] = "-gtk-file-chooser-settings";
constexpr char ChooserSchema[] = "org.gtk.Settings.FileChooser";

// Stands in for g_mkdir_with_parents in libgtk: the folder is not made, and GTK is told that it
// is there (GTK's recent files manager gives up on the file list otherwise; it then finds no file
// to read, as in a home that has none).
extern "C" int refuseFolder(const gchar*, gint) { return 0; }

// The address of the relocation slot through which `library` (a loaded object whose file name
// contains it) calls `symbol`, or null.
void** relocationSlot(const char* library, const char* symbol) {
    struct Search {
        const char* library;
        const char* symbol;
        void** slot;
    } search{library, symbol, nullptr};
    dl_iterate_phdr(
        [](dl_phdr_info* info, size_t, void* data) -> int {
            auto* s = static_cast<Search*>(data);
            if (!info->dlpi_name || !std::strstr(info->dlpi_name, s->library)) return 0;
            const ElfW(Dyn)* dynamic = nullptr;
            for (int i = 0; i < info->dlpi_phnum; ++i) {
                if (info->dlpi_phdr[i].p_type == PT_DYNAMIC)
                    dynamic =
                        reinterpret_cast<const ElfW(Dyn)*>(info->dlpi_addr + info->dlpi_phdr[i].p_vaddr);
            }
            if (!dynamic) return 0;
            // The loader has made these addresses absolute in place on most systems; not on all.
            const auto address = [info](ElfW(Addr) value) {
                return value < info->dlpi_addr ? value + info->dlpi_addr : value;
            };
            const ElfW(Sym)* symbols = nullptr;
            const char* names = nullptr;
            const ElfW(Rela) * tables[2] = {nullptr, nullptr};
            std::size_t sizes[2] = {0, 0};
            for (const ElfW(Dyn)* d = dynamic; d->d_tag != DT_NULL; ++d) {
                switch (d->d_tag) {
                    case DT_SYMTAB:
                        symbols = reinterpret_cast<const ElfW(Sym)*>(address(d->d_un.d_ptr));
                        break;
                    case DT_STRTAB:
                        names = reinterpret_cast<const char*>(address(d->d_un.d_ptr));
                        break;
                    case DT_JMPREL:
                        tables[0] = reinterpret_cast<const ElfW(Rela)*>(address(d->d_un.d_ptr));
                        break;
                    case DT_PLTRELSZ:
                        sizes[0] = d->d_un.d_val;
                        break;
                    case DT_RELA:
                        tables[1] = reinterpret_cast<const ElfW(Rela)*>(address(d->d_un.d_ptr));
                        break;
                    case DT_RELASZ:
                        sizes[1] = d->d_un.d_val;
                        break;
                    default:
                        break;
                }
            }
            if (!symbols || !names) return 1;
            for (int t = 0; t < 2; ++t) {
                for (std::size_t i = 0; tables[t] && i < sizes[t] / sizeof(ElfW(Rela)); ++i) {
                    const ElfW(Rela)& r = tables[t][i];
                    const auto index = ELF64_R_SYM(r.r_info);
                    if (index && std::strcmp(names + symbols[index].st_name, s->symbol) == 0) {
                        s->slot = reinterpret_cast<void**>(info->dlpi_addr + r.r_offset);
                        return 1;
                    }
                }
            }
            return 1;
        },
        &search);
    return search.slot;
}

// Whether the page at `page` is writable now, from the process's own map; false when unknown.
bool pageWritable(std::uintptr_t page) {
    FILE* maps = std::fopen("/proc/self/maps", "re");
    if (!maps) return false;
    bool writable = false;
    unsigned long start = 0, end = 0;
    char permissions[5] = "";
    char line[512];
    while (std::fgets(line, sizeof line, maps)) {
        if (std::sscanf(line, "%lx-%lx %4s", &start, &end, permissions) == 3 && page >= start && page < end) {
            writable = permissions[1] == 'w';
            break;
        }
    }
    std::fclose(maps);
    return writable;
}

// Points libgtk's calls to g_mkdir_with_parents at refuseFolder. A slot that the loader made
// read-only once it was filled (a library bound at once) is made writable for the moment of the
// change and read-only again; one in writable memory (a library bound lazily, whose loader fills
// the other slots of that page as calls come) is changed as it stands and its page left as it is.
void holdFolderCreation() {
#if defined(__x86_64__) || defined(__aarch64__)  // 64-bit, with RELA relocations
    void** slot = relocationSlot("libgtk-3.so", "g_mkdir_with_parents");
    if (!slot) return;
    const long pageSize = sysconf(_SC_PAGESIZE);
    const std::uintptr_t page = reinterpret_cast<std::uintptr_t>(slot) & ~std::uintptr_t(pageSize - 1);
    if (pageWritable(page)) {
        *slot = reinterpret_cast<void*>(&refuseFolder);
        return;
    }
    if (mprotect(reinterpret_cast<void*>(page), std::size_t(pageSize), PROT_READ | PROT_WRITE) != 0) return;
    *slot = reinterpret_cast<void*>(&refuseFolder);
    mprotect(reinterpret_cast<void*>(page), std::size_t(pageSize), PROT_READ);
#endif
}

// The chooser's settings in memory, for the screen's GtkSettings, as GTK makes its own: delayed,
// so that the chooser's g_settings_apply on closing is what stores them (here: in memory).
void settingsInMemory() {
    GObject* settings = G_OBJECT(gtk_settings_get_default());
    if (!settings || g_object_get_data(settings, ChooserSettingsKey)) return;
    GSettingsSchemaSource* source = g_settings_schema_source_get_default();
    GSettingsSchema* schema = source ? g_settings_schema_source_lookup(source, ChooserSchema, TRUE) : nullptr;
    if (!schema) return;
    GSettingsBackend* memory = g_memory_settings_backend_new();
    GSettings* chooser = g_settings_new_full(schema, memory, nullptr);
    g_settings_delay(chooser);
    g_object_set_data_full(settings, ChooserSettingsKey, chooser, g_object_unref);
    g_object_unref(memory);
    g_settings_schema_unref(schema);
}

}  // namespace

void quietFileChooser() {
    static bool done = false;
    if (done) return;
    done = true;
    settingsInMemory();
    holdFolderCreation();
}

}  // namespace gtk
