#include "platform/Console.h"

#include <cstdio>
#include <fcntl.h>
#include <io.h>

namespace tarnvale::platform {

void SetStdoutBinary() {
    _setmode(_fileno(stdout), _O_BINARY);
}

} // namespace tarnvale::platform
