#include "platform/posix/x11activate.h"

#include <xcb/xcb.h>

#include <cstdlib>
#include <memory>
#include <vector>

namespace platform {
namespace {

struct FreeDeleter {
    void operator()(void* p) const { std::free(p); }
};
template <typename T>
using XcbReply = std::unique_ptr<T, FreeDeleter>;

xcb_atom_t atom(xcb_connection_t* c, const char* name) {
    const auto cookie =
        xcb_intern_atom(c, 0, static_cast<uint16_t>(std::char_traits<char>::length(name)), name);
    XcbReply<xcb_intern_atom_reply_t> reply(xcb_intern_atom_reply(c, cookie, nullptr));
    return reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
}

std::vector<xcb_window_t> windowList(xcb_connection_t* c, xcb_window_t root, xcb_atom_t clientList) {
    std::vector<xcb_window_t> windows;
    const auto cookie = xcb_get_property(c, 0, root, clientList, XCB_ATOM_WINDOW, 0, 4096);
    XcbReply<xcb_get_property_reply_t> reply(xcb_get_property_reply(c, cookie, nullptr));
    if (reply && reply->format == 32) {
        const auto* data = static_cast<const xcb_window_t*>(xcb_get_property_value(reply.get()));
        windows.assign(data, data + xcb_get_property_value_length(reply.get()) / 4);
    }
    if (windows.empty()) {
        XcbReply<xcb_query_tree_reply_t> tree(xcb_query_tree_reply(c, xcb_query_tree(c, root), nullptr));
        if (tree) {
            const xcb_window_t* children = xcb_query_tree_children(tree.get());
            windows.assign(children, children + xcb_query_tree_children_length(tree.get()));
        }
    }
    return windows;
}

bool hasPid(xcb_connection_t* c, xcb_window_t window, xcb_atom_t wmPid, std::int64_t pid) {
    const auto cookie = xcb_get_property(c, 0, window, wmPid, XCB_ATOM_CARDINAL, 0, 1);
    XcbReply<xcb_get_property_reply_t> reply(xcb_get_property_reply(c, cookie, nullptr));
    if (!reply || reply->format != 32 || xcb_get_property_value_length(reply.get()) < 4) return false;
    return *static_cast<const uint32_t*>(xcb_get_property_value(reply.get())) == static_cast<uint32_t>(pid);
}

}  // namespace

bool activateWindowOfProcess(std::int64_t pid) {
    if (pid <= 0) return false;
    // A connection of its own to the display of DISPLAY, for this one request: the toolkit's is
    // not ours to use, and activation happens once per started program.
    const std::unique_ptr<xcb_connection_t, void (*)(xcb_connection_t*)> connection(
        xcb_connect(nullptr, nullptr), xcb_disconnect);
    xcb_connection_t* c = connection.get();
    if (!c || xcb_connection_has_error(c) != 0) return false;
    const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(c)).data;
    if (!screen) return false;

    const xcb_atom_t wmPid = atom(c, "_NET_WM_PID");
    const xcb_atom_t active = atom(c, "_NET_ACTIVE_WINDOW");
    const xcb_atom_t clientList = atom(c, "_NET_CLIENT_LIST");
    if (wmPid == XCB_ATOM_NONE || active == XCB_ATOM_NONE) return false;

    for (const xcb_window_t window : windowList(c, screen->root, clientList)) {
        if (!hasPid(c, window, wmPid, pid)) continue;
        xcb_client_message_event_t event{};
        event.response_type = XCB_CLIENT_MESSAGE;
        event.format = 32;
        event.window = window;
        event.type = active;
        event.data.data32[0] = 2;  // source indication: a pager, so the request is honoured
        event.data.data32[1] = XCB_CURRENT_TIME;
        // Checked, so that the server has carried it out before the connection closes: requests
        // still unread when a client hangs up can be dropped with it.
        std::free(xcb_request_check(c, xcb_send_event_checked(c, 0, screen->root,
                                                              XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY |
                                                                  XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT,
                                                              reinterpret_cast<const char*>(&event))));
        return true;
    }
    return false;
}

}  // namespace platform
