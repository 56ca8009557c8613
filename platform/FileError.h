#pragma once

// Within the platform layer: the last error of the file services, which each
// system's implementation keeps in its own way.
namespace tarnvale::platform {

// Keeps the system's error code of a file operation that has just failed, for
// LastFileError, and returns false, so that a failing call can end with
// `return RecordFileError();`.
bool RecordFileError();
// Keeps a code that did not come from the system's last call.
void RecordFileError(int code);

} // namespace tarnvale::platform
