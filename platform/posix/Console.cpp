#include "platform/Console.h"

namespace tarnvale::platform {

void SetStdoutBinary() {}

} // namespace tarnvale::platform
