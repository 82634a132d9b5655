// Watching an X server for the first frame of a program's window, shared by the start-up
// benchmarks (startup_bench, coldstart_bench).
//
// The measure is taken outside the programs, the same way for every program: the watcher asks
// the X server (DISPLAY) to report new top-level windows and asks the DAMAGE extension to report
// the first drawing into each. The moment that report arrives is the first frame; the program is
// then killed and its CPU time and peak resident memory read from wait4(). Meant for a private X
// server (Xvfb) on which nothing else draws.
#pragma once

#include <errno.h>
#include <poll.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/uio.h>
#include <sys/wait.h>
#include <unistd.h>
#include <xcb/xcb.h>
#include <xcb/xcbext.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <functional>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace firstframe {

// The DAMAGE extension's requests and event, written out here since its client header is not
// part of the build's dependencies; the protocol has been stable since version 1.1.
inline xcb_extension_t damageExtension = {"DAMAGE", 0};
constexpr std::uint8_t DamageQueryVersion = 0;
constexpr std::uint8_t DamageCreate = 1;
constexpr std::uint8_t DamageReportNonEmpty = 3;

struct DamageQueryVersionRequest {
    std::uint8_t majorOpcode;
    std::uint8_t minorOpcode;
    std::uint16_t length;
    std::uint32_t clientMajor;
    std::uint32_t clientMinor;
};

struct DamageCreateRequest {
    std::uint8_t majorOpcode;
    std::uint8_t minorOpcode;
    std::uint16_t length;
    std::uint32_t damage;
    std::uint32_t drawable;
    std::uint8_t level;
    std::uint8_t pad[3];
};

struct DamageNotifyEvent {
    std::uint8_t responseType;
    std::uint8_t level;
    std::uint16_t sequence;
    std::uint32_t drawable;
    std::uint32_t damage;
};

template <typename Request>
inline unsigned sendDamageRequest(xcb_connection_t* c, Request& request, std::uint8_t opcode, bool hasReply) {
    iovec parts[4];
    parts[2].iov_base = &request;
    parts[2].iov_len = sizeof request;
    parts[3].iov_base = nullptr;
    parts[3].iov_len = 0;
    xcb_protocol_request_t info = {2, &damageExtension, opcode, static_cast<std::uint8_t>(hasReply ? 0 : 1)};
    return xcb_send_request(c, hasReply ? XCB_REQUEST_CHECKED : 0, parts + 2, &info);
}

using Clock = std::chrono::steady_clock;

struct Sample {
    double ms = 0;
    double cpuMs = 0;
    long maxRssKb = 0;
};

[[noreturn]] inline void die(const std::string& text) {
    std::fprintf(stderr, "%s: %s\n", program_invocation_short_name, text.c_str());
    std::exit(2);
}

class Watcher {
public:
    Watcher() {
        conn_ = xcb_connect(nullptr, nullptr);
        if (xcb_connection_has_error(conn_)) die("cannot connect to the X server named by DISPLAY");
        root_ = xcb_setup_roots_iterator(xcb_get_setup(conn_)).data->root;

        const xcb_query_extension_reply_t* ext = xcb_get_extension_data(conn_, &damageExtension);
        if (!ext || !ext->present) die("the X server has no DAMAGE extension");
        damageEvent_ = ext->first_event;

        DamageQueryVersionRequest version{0, 0, 0, 1, 1};
        const unsigned cookie = sendDamageRequest(conn_, version, DamageQueryVersion, true);
        xcb_generic_error_t* error = nullptr;
        std::free(xcb_wait_for_reply(conn_, cookie, &error));
        if (error) die("the DAMAGE extension refused its version query");

        const std::uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
        xcb_change_window_attributes(conn_, root_, XCB_CW_EVENT_MASK, &mask);
        xcb_flush(conn_);
    }
    ~Watcher() { xcb_disconnect(conn_); }
    Watcher(const Watcher&) = delete;
    Watcher& operator=(const Watcher&) = delete;

    // How long a run may take to its first frame before the measurement stops (a slow medium
    // needs more than the default).
    int timeoutSeconds = 20;
    // Called in the started process before it runs `program` (with the program's folder current).
    std::function<void()> beforeExec;

    // Starts `program` in `folder` and waits for its first frame; `atFirstFrame`, when given, is
    // called with the program's process id at that moment, before the program is killed.
    Sample run(const std::string& program, const std::string& folder,
               const std::function<void(pid_t)>& atFirstFrame = {}) {
        drain();
        damages_.clear();
        const auto start = Clock::now();
        const pid_t pid = fork();
        if (pid < 0) die(std::string("fork failed: ") + std::strerror(errno));
        if (pid == 0) {
            if (!folder.empty() && chdir(folder.c_str()) != 0) _exit(126);
            if (beforeExec) beforeExec();
            execl(program.c_str(), program.c_str(), static_cast<char*>(nullptr));
            _exit(127);
        }

        const auto deadline = start + std::chrono::seconds(timeoutSeconds);
        pollfd fd{xcb_get_file_descriptor(conn_), POLLIN, 0};
        while (true) {
            while (xcb_generic_event_t* event = xcb_poll_for_event(conn_)) {
                const bool painted = handle(event);
                std::free(event);
                if (painted) {
                    const auto painted_at = Clock::now();
                    if (atFirstFrame) atFirstFrame(pid);
                    kill(pid, SIGKILL);
                    Sample sample;
                    sample.ms = std::chrono::duration<double, std::milli>(painted_at - start).count();
                    const rusage usage = reap(pid);
                    sample.cpuMs = cpuMs(usage);
                    sample.maxRssKb = usage.ru_maxrss;
                    return sample;
                }
            }
            if (xcb_connection_has_error(conn_)) die("lost the connection to the X server");
            int status = 0;
            if (waitpid(pid, &status, WNOHANG) == pid) {
                die(program + " ended before it drew its window (status " + std::to_string(status) + ")");
            }
            if (Clock::now() > deadline) {
                kill(pid, SIGKILL);
                reap(pid);
                die(program + " drew no window within " + std::to_string(timeoutSeconds) + " seconds");
            }
            poll(&fd, 1, 20);
        }
    }

private:
    // True when the event reports the first drawing into a window of the current run.
    bool handle(xcb_generic_event_t* event) {
        const std::uint8_t type = event->response_type & 0x7f;
        if (type == XCB_CREATE_NOTIFY) {
            const auto* created = reinterpret_cast<xcb_create_notify_event_t*>(event);
            if (created->parent != root_) return false;
            DamageCreateRequest request{
                0, 0, 0, xcb_generate_id(conn_), created->window, DamageReportNonEmpty, {}};
            sendDamageRequest(conn_, request, DamageCreate, false);
            xcb_flush(conn_);
            damages_.insert(request.damage);
            return false;
        }
        if (type == damageEvent_) {
            const auto* damage = reinterpret_cast<DamageNotifyEvent*>(event);
            return damages_.count(damage->damage) != 0;
        }
        // Errors (a window that vanished before its damage object was made) are of no interest.
        return false;
    }

    static rusage reap(pid_t pid) {
        int status = 0;
        rusage usage{};
        while (wait4(pid, &status, 0, &usage) < 0 && errno == EINTR) {
        }
        return usage;
    }

    static double cpuMs(const rusage& usage) {
        const auto ms = [](const timeval& t) { return double(t.tv_sec) * 1e3 + double(t.tv_usec) / 1e3; };
        return ms(usage.ru_utime) + ms(usage.ru_stime);
    }

    // Lets the server tear down the last run's windows and discards what that reported.
    void drain() {
        std::this_thread::sleep_for(std::chrono::milliseconds(150));
        xcb_aux_sync();
        while (xcb_generic_event_t* event = xcb_poll_for_event(conn_)) std::free(event);
    }

    void xcb_aux_sync() { std::free(xcb_get_input_focus_reply(conn_, xcb_get_input_focus(conn_), nullptr)); }

    xcb_connection_t* conn_ = nullptr;
    xcb_window_t root_ = 0;
    std::uint8_t damageEvent_ = 0;
    std::set<std::uint32_t> damages_;
};

inline double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

}  // namespace firstframe
