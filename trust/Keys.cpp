#include "trust/Keys.h"

namespace tarnvale::trust {

namespace {

std::string_view Trimmed(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t'))
        text.remove_suffix(1);
    return text;
}

} // namespace

bool ParseKeyList(std::string_view text, std::vector<PublicKey>& keys, std::string& error) {
    keys.clear();
    if (Trimmed(text).empty())
        return true;
    std::size_t start = 0;
    for (;;) {
        const std::size_t end = text.find_first_of(",;", start);
        const std::string_view piece =
            Trimmed(text.substr(start, end == std::string_view::npos ? end : end - start));
        PublicKey key{};
        if (!FromHex(piece, key)) {
            error = "\"" + std::string(piece) + "\" is not a public key of 64 hex digits";
            keys.clear();
            return false;
        }
        keys.push_back(key);
        if (keys.size() > kMaxTrustedKeys) {
            error = "more than " + std::to_string(kMaxTrustedKeys) + " keys";
            keys.clear();
            return false;
        }
        if (end == std::string_view::npos)
            return true;
        start = end + 1;
    }
}

} // namespace tarnvale::trust
