#include "platform/CodePage.h"

namespace tarnvale::platform {

bool ParseCodePage(std::string_view text, unsigned& codePage) {
    if (text.size() > 2 && (text[0] == 'C' || text[0] == 'c') && (text[1] == 'P' || text[1] == 'p'))
        text.remove_prefix(2);
    if (text.empty() || text.size() > 5)
        return false;
    unsigned value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9')
            return false;
        value = value * 10 + static_cast<unsigned>(c - '0');
    }
    if (value == 0 || value > 65535)
        return false;
    codePage = value;
    return true;
}

} // namespace tarnvale::platform
