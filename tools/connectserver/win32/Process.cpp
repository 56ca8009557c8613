#include "tools/connectserver/Process.h"

#include <csignal>

namespace tarnvale::connectserver::process {
namespace {

volatile std::sig_atomic_t g_stop = 0;

extern "C" void OnSignal(int) {
    g_stop = 1;
}

} // namespace

void WatchSignals() {
    std::signal(SIGINT, OnSignal);
    std::signal(SIGTERM, OnSignal);
}

bool TakeStop() {
    const bool stop = g_stop != 0;
    g_stop = 0;
    return stop;
}
bool TakeReload() {
    return false;
}
bool TakeStatusRequest() {
    return false;
}

std::size_t RaiseOpenFileLimit(std::string& note) {
    note = "open-file limit: none on this system";
    return 0;
}

} // namespace tarnvale::connectserver::process
