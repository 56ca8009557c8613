// The one place where the build setting TARNVALE_UPDATE_KEYS enters the program,
// through a header that the configure step writes after checking the value.
#include "trust/Keys.h"

#include "trust/UpdateKeys.inc"

#include <cstdlib>

namespace tarnvale::trust {

const std::vector<PublicKey>& BuiltInUpdateKeys() {
    static const std::vector<PublicKey> keys = [] {
        std::vector<PublicKey> parsed;
        std::string error;
        // The configure step has checked the value; a launcher that could not
        // read its own keys must not go on without them.
        if (!ParseKeyList(kBuiltInUpdateKeys, parsed, error))
            std::abort();
        return parsed;
    }();
    return keys;
}

} // namespace tarnvale::trust
