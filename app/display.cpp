#include "app/display.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string_view>
#include <thread>

#ifndef _WIN32
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>
#include <xcb/xcb.h>

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QString>
#include <QStringList>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <system_error>
#endif

namespace app {
namespace {

#ifndef _WIN32

std::string environment(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

// The check's own X connection, kept until Qt has opened its own: an X server without other
// clients resets when the last one leaves, and refuses a connection that arrives during the reset.
// QCoreApplication runs its pre-routines once the platform plug-in has connected.
xcb_connection_t* heldConnection = nullptr;

void releaseConnection() {
    if (heldConnection) xcb_disconnect(heldConnection);
    heldConnection = nullptr;
}

// An X server accepts a connection on `display`. xcb hands back an object to free even when
// connecting failed. A server that is resetting (its last client just left) refuses for a moment,
// so a refusal is tried twice more before it counts.
bool xServerAnswers(const std::string& display) {
    xcb_connection_t* connection = nullptr;
    for (int attempt = 0;; ++attempt) {
        connection = xcb_connect(display.c_str(), nullptr);
        if (xcb_connection_has_error(connection) == 0) break;
        xcb_disconnect(connection);
        if (attempt == 2) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    releaseConnection();
    heldConnection = connection;
    qAddPreRoutine(releaseConnection);
    return true;
}

// A Wayland compositor accepts a connection on its socket: `display` is the socket's path when
// absolute, else its name in XDG_RUNTIME_DIR, as the Wayland client library finds it. The socket
// does not block, so a compositor whose queue is full counts as there rather than stalling us.
bool waylandCompositorAnswers(const std::string& display) {
    std::string path = display;
    if (!display.starts_with('/')) {
        const std::string runtime = environment("XDG_RUNTIME_DIR");
        if (runtime.empty()) return false;
        path = runtime + "/" + display;
    }
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (path.size() >= sizeof address.sun_path) return false;
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);

    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0) return false;
    const bool answers = ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0 ||
                         errno == EAGAIN || errno == EINPROGRESS;
    ::close(fd);
    return answers;
}

QString programFolder(char** argv) {
    std::error_code error;
    const std::filesystem::path program = std::filesystem::read_symlink("/proc/self/exe", error);
    if (!error) return QString::fromStdString(program.parent_path().string());
    return QFileInfo(QString::fromLocal8Bit(argv[0])).absolutePath();
}

// Qt would find a Wayland platform plug-in (libqwayland-generic.so and its kin) in one of the
// folders it searches: QT_QPA_PLATFORM_PLUGIN_PATH, and "platforms" under its library paths (as
// keepPluginsInBundle left them: QT_PLUGIN_PATH and its own plug-in folder, or the bundle's) and
// the program's folder.
bool qtHasWaylandPlugin(char** argv) {
    QStringList folders = qEnvironmentVariable("QT_QPA_PLATFORM_PLUGIN_PATH").split(u':', Qt::SkipEmptyParts);
    QStringList pluginFolders = QCoreApplication::libraryPaths();
    pluginFolders << programFolder(argv);
    for (const QString& folder : pluginFolders) folders << QDir(folder).filePath(QStringLiteral("platforms"));
    for (const QString& folder : folders) {
        if (!QDir(folder).entryList({QStringLiteral("libqwayland*")}, QDir::Files).isEmpty()) return true;
    }
    return false;
}

// A platform list (QT_QPA_PLATFORM, "name:options;name...") that names only the X11 plug-in.
bool onlyXcb(std::string_view platforms) {
    while (true) {
        const std::size_t end = platforms.find(';');
        const std::string_view entry = platforms.substr(0, end);
        if (entry.substr(0, entry.find(':')) != "xcb") return false;
        if (end == std::string_view::npos) return true;
        platforms.remove_prefix(end + 1);
    }
}

#endif

}  // namespace

std::optional<std::string> missingDisplay([[maybe_unused]] int argc, [[maybe_unused]] char** argv) {
#ifdef _WIN32
    return std::nullopt;
#else
    std::string platform = environment("QT_QPA_PLATFORM");
    for (int i = 1; i + 1 < argc; ++i) {
        const std::string_view argument = argv[i];
        if (argument == "-platform" || argument == "--platform") platform = argv[i + 1];
    }
    const std::string x = environment("DISPLAY");
    const std::string xPart =
        x.empty() ? "DISPLAY is not set" : "the X display \"" + x + "\" cannot be opened";

    // A platform chosen explicitly is Qt's business, but for X11 alone (as a medium's autorun.sh
    // chooses, since the medium carries no other plug-in): without an X server Qt would abort.
    if (!platform.empty()) {
        if (!onlyXcb(platform) || (!x.empty() && xServerAnswers(x))) return std::nullopt;
        const bool wayland = !environment("WAYLAND_DISPLAY").empty();
        return "discmenu: needs a graphical desktop session with X11 (the platform chosen is \"" + platform +
               "\"), but " + xPart + (wayland ? " (in a Wayland session, X11 programs need Xwayland)" : "");
    }
    if (!x.empty() && xServerAnswers(x)) return std::nullopt;

    // Without WAYLAND_DISPLAY, Qt still tries Wayland in a session that calls itself one, and the
    // Wayland client library then connects to "wayland-0".
    const std::string waylandVariable = environment("WAYLAND_DISPLAY");
    const std::string wayland = !waylandVariable.empty()                       ? waylandVariable
                                : environment("XDG_SESSION_TYPE") == "wayland" ? "wayland-0"
                                                                               : "";
    const bool waylandAnswers = !wayland.empty() && waylandCompositorAnswers(wayland);
    if (waylandAnswers && qtHasWaylandPlugin(argv)) return std::nullopt;

    std::string why;
    if (x.empty() && wayland.empty()) {
        why = "neither DISPLAY nor WAYLAND_DISPLAY is set";
    } else if (waylandAnswers) {
        why = "the Wayland display \"" + wayland +
              "\" cannot be used, as the Qt this menu runs on has no Wayland platform plug-in, and " + xPart;
    } else if (wayland.empty()) {
        why = xPart + " and WAYLAND_DISPLAY is not set";
    } else {
        why = xPart + " and the Wayland display \"" + wayland + "\" cannot be opened";
    }
    return "discmenu: needs a graphical desktop session (X11 or Wayland), but " + why;
#endif
}

bool reportMissingDisplay(int argc, char** argv) {
    const std::optional<std::string> line = missingDisplay(argc, argv);
    if (line) std::fprintf(stderr, "%s\n", line->c_str());
    return line.has_value();
}

}  // namespace app
