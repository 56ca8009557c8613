#pragma once

#include "trust/Crypto.h"

#include <string>
#include <string_view>
#include <vector>

// The operator's public keys that a launcher trusts.
namespace tarnvale::trust {

// At most two keys, so that an operator can move from one to the next.
inline constexpr std::size_t kMaxTrustedKeys = 2;

// Reads a list of keys: each 64 hex digits, separated by "," or ";" (blanks
// around them are allowed). Empty text is the empty list. On failure `error`
// says why and `keys` is empty.
bool ParseKeyList(std::string_view text, std::vector<PublicKey>& keys, std::string& error);

// The keys this launcher was built with (the build setting
// TARNVALE_UPDATE_KEYS); empty when updates are not checked.
const std::vector<PublicKey>& BuiltInUpdateKeys();

} // namespace tarnvale::trust
