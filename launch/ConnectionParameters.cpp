#include "launch/ConnectionParameters.h"

#include "platform/MillisecondClock.h"
#include "tarnvale/settings.h"

namespace tarnvale {

static_assert(KeepsDigitsAndDotNonZero(settings::kParamKey),
              "the parameter key must not turn a digit or a dot into a zero byte: "
              "addresses and port texts would be cut short");

namespace {

using platform::RegistryKey;
using platform::RegistryRoot;

// Machine-wide first; the per-user key is the fallback for players who may not
// write machine-wide values.
constexpr RegistryRoot kRoots[] = {RegistryRoot::LocalMachine, RegistryRoot::CurrentUser};

// Opens (creating) the key where the writer keeps it: the first place that allows
// it. Reader and writer running with the same rights agree on the place.
bool OpenWriterKey(const ConnectionChannel& channel, RegistryKey& key,
                   RegistryRoot* where = nullptr) {
    for (const RegistryRoot root : kRoots) {
        if (key.Create(root, channel.keyPath)) {
            if (where)
                *where = root;
            return true;
        }
    }
    return false;
}

std::uint32_t ReadStampIn(RegistryRoot root, const ConnectionChannel& channel) {
    RegistryKey key;
    std::uint32_t stamp = 0;
    if (!key.Create(root, channel.keyPath) || !key.QueryDword(gameclient::kValueKeyStamp, stamp))
        return gameclient::kMissingStamp;
    return stamp;
}

// The reading steps in one place.
bool ReadIn(RegistryRoot root, ConnectionParameters& parameters, const ConnectionChannel& channel) {
    // Unsigned arithmetic: the difference stays right across the clock's wrap.
    if (static_cast<std::uint32_t>(channel.clock() - ReadStampIn(root, channel)) >
        gameclient::kReaderStampLimitMs) {
        platform::DeleteRegistryKey(root, channel.keyPath);
        return false;
    }
    RegistryKey key;
    std::string scrambled;
    std::uint32_t port = 0;
    if (!key.Create(root, channel.keyPath) ||
        !key.QueryString(gameclient::kValueParameterA, scrambled,
                         gameclient::kMaxAddressLength + 1) ||
        !key.QueryDword(gameclient::kValueParameterB, port))
        return false;
    key.Close();
    const ParamKey paramKey = BuildParamKey();
    parameters.address = DescrambleParamText(scrambled, paramKey);
    parameters.port = ScramblePort(port, scrambled.size(), paramKey);
    platform::DeleteRegistryKey(root, channel.keyPath);
    return true;
}

// The address as the registry can hold it: a zero-terminated text of at most 255
// bytes whose scrambled form has no zero byte either.
bool IsStorableAddress(const std::string& address, const std::string& scrambled) {
    return address.size() <= gameclient::kMaxAddressLength &&
           address.find('\0') == std::string::npos && scrambled.find('\0') == std::string::npos;
}

} // namespace

ParamKey BuildParamKey() {
    return {settings::kParamKey[0], settings::kParamKey[1], settings::kParamKey[2],
            settings::kParamKey[3]};
}

std::string ScrambleParamText(std::string_view text, const ParamKey& key) {
    std::string out(text);
    for (size_t i = 0; i < out.size(); ++i)
        out[i] = static_cast<char>(static_cast<std::uint8_t>(out[i]) + key[i % 4]);
    return out;
}

std::string DescrambleParamText(std::string_view text, const ParamKey& key) {
    std::string out(text);
    for (size_t i = 0; i < out.size(); ++i)
        out[i] = static_cast<char>(static_cast<std::uint8_t>(out[i]) - key[i % 4]);
    return out;
}

std::uint32_t ScramblePort(std::uint32_t port, std::size_t addressLength, const ParamKey& key) {
    return port ^ static_cast<std::uint32_t>(key[addressLength % 4]);
}

ConnectionChannel::ConnectionChannel() : clock(platform::TimeGetTime) {}

bool WriteKeyStamp(const ConnectionChannel& channel) {
    RegistryKey key;
    if (!OpenWriterKey(channel, key))
        return false;
    return key.SetDword(gameclient::kValueKeyStamp, channel.clock());
}

std::uint32_t ReadKeyStamp(const ConnectionChannel& channel) {
    RegistryKey key;
    std::uint32_t stamp = 0;
    if (!OpenWriterKey(channel, key) || !key.QueryDword(gameclient::kValueKeyStamp, stamp))
        return gameclient::kMissingStamp;
    return stamp;
}

bool DeleteConnectionKey(const ConnectionChannel& channel) {
    bool deleted = false;
    for (const RegistryRoot root : kRoots)
        deleted = platform::DeleteRegistryKey(root, channel.keyPath) || deleted;
    return deleted;
}

bool WriteConnectionParameters(const ConnectionParameters& parameters,
                               const ConnectionChannel& channel) {
    if (static_cast<std::uint32_t>(channel.clock() - ReadKeyStamp(channel)) >
        gameclient::kWriterStampLimitMs) {
        DeleteConnectionKey(channel);
        return false;
    }
    // Old values go, in both places, so no reader can pick up an earlier set.
    DeleteConnectionKey(channel);

    const ParamKey paramKey = BuildParamKey();
    const std::string scrambled = ScrambleParamText(parameters.address, paramKey);
    // A scrambled zero byte would end the stored text early: the reader would get
    // a shorter address and unscramble the port with the wrong key byte.
    if (!IsStorableAddress(parameters.address, scrambled))
        return false;
    const std::uint32_t port = ScramblePort(parameters.port, parameters.address.size(), paramKey);

    // A value that cannot be written fails the whole write: the game client would
    // otherwise be started without its parameters.
    RegistryKey key;
    if (!OpenWriterKey(channel, key) ||
        !key.SetString(gameclient::kValueParameterA, scrambled.c_str()))
        return false;
    key.Close();
    if (!OpenWriterKey(channel, key) || !key.SetDword(gameclient::kValueParameterB, port))
        return false;
    key.Close();
    return WriteKeyStamp(channel);
}

bool ReadConnectionParameters(ConnectionParameters& parameters, const ConnectionChannel& channel) {
    for (const RegistryRoot root : kRoots) {
        // Only a key that is there and may be changed counts; a place where the
        // writer could not have written is skipped rather than created.
        RegistryKey probe;
        if (!probe.Open(root, channel.keyPath))
            continue;
        probe.Close();
        if (ReadIn(root, parameters, channel))
            return true;
    }
    return false;
}

} // namespace tarnvale
