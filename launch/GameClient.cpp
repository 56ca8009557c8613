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

} // namespace tarnvale::gameclient
