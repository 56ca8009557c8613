#include "tools/connectserver/Process.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <sys/resource.h>

namespace tarnvale::connectserver::process {
namespace {

volatile std::sig_atomic_t g_stop = 0;
volatile std::sig_atomic_t g_reload = 0;
volatile std::sig_atomic_t g_status = 0;

extern "C" void OnSignal(int signal) {
    if (signal == SIGHUP)
        g_reload = 1;
    else if (signal == SIGUSR1)
        g_status = 1;
    else
        g_stop = 1;
}

bool Take(volatile std::sig_atomic_t& flag) {
    if (flag == 0)
        return false;
    flag = 0;
    return true;
}

} // namespace

void WatchSignals() {
    // Without SA_RESTART, so that a signal ends the wait for sockets at once.
    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    for (int signal : {SIGINT, SIGTERM, SIGHUP, SIGUSR1})
        sigaction(signal, &action, nullptr);
}

bool TakeStop() {
    return Take(g_stop);
}
bool TakeReload() {
    return Take(g_reload);
}
bool TakeStatusRequest() {
    return Take(g_status);
}

std::size_t RaiseOpenFileLimit(std::string& note) {
    rlimit limit{};
    if (::getrlimit(RLIMIT_NOFILE, &limit) != 0) {
        note = std::string("open-file limit unknown: ") + std::strerror(errno);
        return 0;
    }
    const rlim_t before = limit.rlim_cur;
    if (limit.rlim_cur < limit.rlim_max) {
        limit.rlim_cur = limit.rlim_max;
        if (::setrlimit(RLIMIT_NOFILE, &limit) != 0)
            limit.rlim_cur = before;
    }
    if (limit.rlim_cur == RLIM_INFINITY) {
        note = "open-file limit: none";
        return 0;
    }
    note = "open-file limit: " + std::to_string(limit.rlim_cur) +
           (limit.rlim_cur > before ? " (raised from " + std::to_string(before) + ")"
                                    : std::string(" (the hard limit)"));
    return static_cast<std::size_t>(limit.rlim_cur);
}

} // namespace tarnvale::connectserver::process
