#include "platform/FileOps.h"

namespace tarnvale::platform {
namespace {

constexpr char kStagingMark[] = ".~tv";

// Whether text[from, to) is a nonempty run of decimal digits.
bool AllDigits(const std::string& text, std::size_t from, std::size_t to) {
    if (from >= to)
        return false;
    for (std::size_t i = from; i < to; ++i) {
        if (text[i] < '0' || text[i] > '9')
            return false;
    }
    return true;
}

} // namespace

std::string StagingName(const std::string& target, unsigned long processId, unsigned attempt) {
    return target + kStagingMark + std::to_string(processId) + "-" + std::to_string(attempt);
}

bool IsStagingName(const std::string& name) {
    const std::size_t mark = name.rfind(kStagingMark);
    if (mark == std::string::npos || mark == 0)
        return false;
    const std::size_t digits = mark + sizeof kStagingMark - 1;
    const std::size_t dash = name.find('-', digits);
    return dash != std::string::npos && AllDigits(name, digits, dash) &&
           AllDigits(name, dash + 1, name.size());
}

} // namespace tarnvale::platform
