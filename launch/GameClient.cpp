#include "launch/GameClient.h"

#include "msg/MessageIds.h"
#include "platform/ProgramStart.h"

namespace tarnvale::gameclient {

int StartResultMessage(std::intptr_t result) {
    switch (result) {
    case platform::kStartOutOfResources:
        return msgid::kStartOutOfMemory;
    case platform::kStartFileNotFound:
    case platform::kStartPathNotFound:
        return msgid::kStartNotFound;
    case platform::kStartBadFormat:
        return msgid::kStartBadFormat;
    default:
        return 0;
    }
}

const char* StartFailureReason(std::intptr_t result) {
    switch (result) {
    case platform::kStartOutOfResources:
        return "out of memory or system resources";
    case platform::kStartFileNotFound:
    case platform::kStartPathNotFound:
        return "the file was not found";
    case platform::kStartAccessDenied:
        return "access denied (it is not executable, or it is a folder)";
    case platform::kStartBadFormat:
        return "it is not a program this system can run (damaged, or built for another system)";
    default:
        return result > 32 ? nullptr : "the system could not start it";
    }
}

} // namespace tarnvale::gameclient
