#include "platform/MessageBox.h"

#include <cstdio>

namespace tarnvale::platform {

int ShowSystemMessageBox(const char* text, const char* caption, unsigned /*type*/,
                         void* /*owner*/) {
    std::fprintf(stderr, "[%s] %s\n", caption ? caption : "", text ? text : "");
    std::fflush(stderr);
    return 1; // IDOK
}

} // namespace tarnvale::platform
