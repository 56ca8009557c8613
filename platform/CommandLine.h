#pragma once

#include <string>

// The command line after the program name, as the Windows application framework
// hands it to the program. POSIX programs record their arguments first.
namespace tarnvale::platform {

void SetProcessArguments(int argc, char** argv);
std::string CommandLineTail();

} // namespace tarnvale::platform
