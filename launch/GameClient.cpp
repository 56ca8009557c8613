#include "launch/GameClient.h"

#include "msg/MessageIds.h"

namespace tarnvale::gameclient {

int StartResultMessage(long result) {
    switch (result) {
    case kStartOutOfResources:
        return msgid::kStartOutOfMemory;
    case kStartFileNotFound:
    case kStartPathNotFound:
        return msgid::kStartNotFound;
    case kStartBadFormat:
        return msgid::kStartBadFormat;
    default:
        return 0;
    }
}

} // namespace tarnvale::gameclient
