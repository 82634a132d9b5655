#include "app/qtsetup.h"

#include <dlfcn.h>

#include <QCoreApplication>
#include <QStringList>
#include <filesystem>
#include <system_error>

namespace app {

PluginSetup keepPluginsInBundle() {
    PluginSetup setup;
    Dl_info info{};
    if (dladdr(reinterpret_cast<void*>(&qVersion), &info) == 0 || !info.dli_fname) return setup;
    std::error_code error;
    const auto program = std::filesystem::canonical("/proc/self/exe", error);
    if (error) return setup;
    // The bundle's core library lies in lib/ beside the program, or the launcher unpacked it from
    // the bundle's pack into memory (launcher/bundlepack.h), which the loader names
    // /proc/self/fd/N, a link to "/memfd:discmenu-bundle:libQt6Core.so.6 (deleted)".
    const auto core = std::filesystem::canonical(info.dli_fname, error);
    std::error_code notLink;
    const bool unpacked = std::filesystem::read_symlink(info.dli_fname, notLink)
                              .string()
                              .starts_with("/memfd:discmenu-bundle:");
    if (!unpacked && (error || core.parent_path() != program.parent_path() / "lib")) return setup;

    setup.bundled = true;
    const auto plugins = program.parent_path() / "plugins";
    QCoreApplication::setLibraryPaths({QString::fromStdString(plugins.string())});
    if (qEnvironmentVariableIsSet("QT_QPA_PLATFORM_PLUGIN_PATH")) {
        setup.platformPluginPath = qgetenv("QT_QPA_PLATFORM_PLUGIN_PATH");
        qunsetenv("QT_QPA_PLATFORM_PLUGIN_PATH");
    }
    return setup;
}

void restoreEnvironment(const PluginSetup& setup) {
    if (setup.platformPluginPath) qputenv("QT_QPA_PLATFORM_PLUGIN_PATH", *setup.platformPluginPath);
}

}  // namespace app
