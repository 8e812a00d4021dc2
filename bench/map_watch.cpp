// Starts a program and reports how long it took until the X server mapped its first top-level
// window (the MapNotify on the root window, as a window manager would see it), then, after a settle
// time, the program's resident memory and whether the libraries named in MAP_WATCH_LIBS (separated by
// commas, e.g. "libcurl,libavcodec") are mapped; then ends the program with SIGTERM. The program's own
// output goes to /dev/null.
// Usage: map_watch SETTLE_MS PROGRAM [ARGS...]
// Prints "map_ms N", "rss_kb N" and one "mapped NAME 0|1" per library on standard output. Exits 1 when
// the program shows no window within 20 s or ends before.

#include <xcb/xcb.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <sstream>
#include <memory>
#include <poll.h>
#include <signal.h>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

struct Free {
    void operator()(void* p) const { std::free(p); }
};

xcb_atom_t atom(xcb_connection_t* x, const char* name) {
    std::unique_ptr<xcb_intern_atom_reply_t, Free> reply(
        xcb_intern_atom_reply(x, xcb_intern_atom(x, 0, std::strlen(name), name), nullptr));
    return reply ? reply->atom : XCB_ATOM_NONE;
}

// The process that owns a window by its _NET_WM_PID, or 0 when it does not say.
pid_t windowPid(xcb_connection_t* x, xcb_window_t window, xcb_atom_t pidAtom) {
    std::unique_ptr<xcb_get_property_reply_t, Free> reply(xcb_get_property_reply(
        x, xcb_get_property(x, 0, window, pidAtom, XCB_ATOM_CARDINAL, 0, 1), nullptr));
    if (!reply || xcb_get_property_value_length(reply.get()) != 4) return 0;
    return static_cast<pid_t>(*static_cast<std::uint32_t*>(xcb_get_property_value(reply.get())));
}

long residentKb(pid_t pid) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind("VmRSS:", 0) == 0) return std::strtol(line.c_str() + 6, nullptr, 10);
    return -1;
}

bool mapsLibrary(pid_t pid, const std::string& name) {
    std::ifstream maps("/proc/" + std::to_string(pid) + "/maps");
    for (std::string line; std::getline(maps, line);)
        if (line.find("/" + name) != std::string::npos) return true;
    return false;
}

void end(pid_t child) {
    kill(child, SIGTERM);
    for (int i = 0; i < 500; ++i) {
        if (waitpid(child, nullptr, WNOHANG) == child) return;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    kill(child, SIGKILL);
    waitpid(child, nullptr, 0);
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: map_watch SETTLE_MS PROGRAM [ARGS...]\n");
        return 2;
    }
    const int settleMs = std::atoi(argv[1]);
    int screenNumber = 0;
    xcb_connection_t* x = xcb_connect(nullptr, &screenNumber);
    if (xcb_connection_has_error(x)) {
        std::fprintf(stderr, "map_watch: no X display\n");
        return 2;
    }
    const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(x)).data;
    const std::uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
    xcb_change_window_attributes(x, screen->root, XCB_CW_EVENT_MASK, &mask);
    const xcb_atom_t pidAtom = atom(x, "_NET_WM_PID");
    xcb_flush(x);

    const Clock::time_point launched = Clock::now();
    const pid_t child = fork();
    if (child == 0) {
        const int quiet = open("/dev/null", O_WRONLY);
        dup2(quiet, STDOUT_FILENO);
        dup2(quiet, STDERR_FILENO);
        execvp(argv[2], argv + 2);
        _exit(127);
    }

    double mapMs = -1;
    pollfd watched{xcb_get_file_descriptor(x), POLLIN, 0};
    while (mapMs < 0) {
        const auto waited = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - launched);
        if (waited.count() > 20000 || waitpid(child, nullptr, WNOHANG) == child) break;
        while (std::unique_ptr<xcb_generic_event_t, Free> event{xcb_poll_for_event(x)}) {
            if ((event->response_type & 0x7f) != XCB_MAP_NOTIFY) continue;
            const Clock::time_point mapped = Clock::now();
            const auto* map = reinterpret_cast<xcb_map_notify_event_t*>(event.get());
            const pid_t owner = windowPid(x, map->window, pidAtom);
            // A window that names no owner is taken as the program's: only it was started here.
            if (owner != 0 && owner != child) continue;
            mapMs = std::chrono::duration<double, std::milli>(mapped - launched).count();
            break;
        }
        if (mapMs < 0) poll(&watched, 1, 50);
    }
    xcb_disconnect(x);
    if (mapMs < 0) {
        std::fprintf(stderr, "map_watch: %s showed no window\n", argv[2]);
        end(child);
        return 1;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(settleMs));
    const long rss = residentKb(child);
    std::string mapped;
    if (const char* libraries = std::getenv("MAP_WATCH_LIBS")) {
        std::istringstream names(libraries);
        for (std::string name; std::getline(names, name, ',');)
            if (!name.empty()) mapped += "mapped " + name + (mapsLibrary(child, name) ? " 1\n" : " 0\n");
    }
    end(child);
    std::printf("map_ms %.1f\nrss_kb %ld\n%s", mapMs, rss, mapped.c_str());
    return 0;
}
