#pragma once

namespace tarnvale::platform {

// libcurl's process-wide initialisation, done once by whichever service needs it
// first. False if libcurl could not be initialised.
bool InitCurlOnce();

} // namespace tarnvale::platform
