#pragma once

namespace tarnvale::platform {

// Standard output passes bytes unchanged (no newline translation on Windows).
void SetStdoutBinary();

} // namespace tarnvale::platform
