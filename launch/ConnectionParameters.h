#pragma once

#include "launch/GameClient.h"

#include "platform/Registry.h"

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

// The connection parameters: the game server's address and port, handed from the
// launcher to the game client through the registry, lightly scrambled and stamped
// with the time of writing. The launcher writes them just before it starts the
// client; the client reads them within 26 seconds and deletes them.
namespace tarnvale {

// Four key bytes shared with the game client (the build setting kParamKey).
using ParamKey = std::array<std::uint8_t, 4>;
ParamKey BuildParamKey();

// Byte i of `text` raised (or lowered) by key[i mod 4], modulo 256.
std::string ScrambleParamText(std::string_view text, const ParamKey& key);
std::string DescrambleParamText(std::string_view text, const ParamKey& key);
// The port XORed with the key byte that the address text's length selects, so only
// its low eight bits change. The same call descrambles.
std::uint32_t ScramblePort(std::uint32_t port, std::size_t addressLength, const ParamKey& key);

// True when every digit and the dot keep a non-zero byte under `key`, so no dotted
// address or decimal port text is ever cut short by its scrambling.
constexpr bool KeepsDigitsAndDotNonZero(const std::uint8_t (&key)[4]) {
    for (const std::uint8_t k : key)
        for (const char c : std::string_view("0123456789."))
            if (static_cast<std::uint8_t>(static_cast<std::uint8_t>(c) + k) == 0)
                return false;
    return true;
}

struct ConnectionParameters {
    std::string
        address; // at most gameclient::kMaxAddressLength bytes, in practice a dotted IPv4 text
    std::uint32_t port = 0;
};

// Where the parameters live and which clock stamps them. The defaults are the
// machine-wide key and the system's millisecond clock; tests use their own key
// path and a clock they control.
struct ConnectionChannel {
    std::string keyPath = gameclient::kConnectionKeyPath;
    std::function<std::uint32_t()> clock;
    ConnectionChannel();
};

// The key lives under HKEY_LOCAL_MACHINE. A player without the right to write
// there (no administrator rights) would otherwise never get into the game, so the
// writer falls back to the same path under HKEY_CURRENT_USER, and the reader looks
// in both places, machine-wide first.

// Opens the key where the writer keeps it (creating it) and sets "Key" to now.
// False when the key can be opened in neither place.
bool WriteKeyStamp(const ConnectionChannel& channel = {});
// "Key" from the writer's key; gameclient::kMissingStamp when it cannot be opened or read.
std::uint32_t ReadKeyStamp(const ConnectionChannel& channel = {});
// Deletes the key, with its values, in both places. True when a key was deleted.
bool DeleteConnectionKey(const ConnectionChannel& channel = {});

// Stores the parameters. Fails, leaving no parameters behind, when "Key" is
// missing or more than 5000 ms old, when the address cannot be stored whole (too
// long, or a byte that scrambles to zero and would cut it short), or when the key
// or a value cannot be written. Ends by stamping "Key" afresh.
bool WriteConnectionParameters(const ConnectionParameters& parameters,
                               const ConnectionChannel& channel = {});
// The game client's side: accepts the parameters only while "Key" is at most
// 26000 ms old, then deletes the key, so they are used once. Parameters found too
// old are deleted as well; a missing value leaves the key as it is.
bool ReadConnectionParameters(ConnectionParameters& parameters,
                              const ConnectionChannel& channel = {});

} // namespace tarnvale
