#include "platform/CommandLine.h"

namespace tarnvale::platform {
namespace {
std::string g_tail;
}

void SetProcessArguments(int argc, char** argv) {
    g_tail.clear();
    for (int i = 1; i < argc; ++i) {
        if (i > 1)
            g_tail += ' ';
        g_tail += argv[i];
    }
}

std::string CommandLineTail() {
    return g_tail;
}

} // namespace tarnvale::platform
