#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// Ed25519 signatures and SHA-256 hashes, all done by libsodium: nothing here is
// cryptography of our own, only the shapes the launcher and the tools use.
namespace tarnvale::trust {

using PublicKey = std::array<std::uint8_t, 32>;
using SecretKey = std::array<std::uint8_t, 64>; // libsodium's form: seed and public key
using Signature = std::array<std::uint8_t, 64>;
using Digest = std::array<std::uint8_t, 32>;

// A new key pair from the system's random source. False only if the library
// cannot start.
bool GenerateKeyPair(PublicKey& publicKey, SecretKey& secretKey);
// The public half of a secret key.
PublicKey PublicKeyOf(const SecretKey& secretKey);

// The detached signature of `message`.
Signature Sign(std::string_view message, const SecretKey& secretKey);
// Whether `signature` is one of `message` by any of `keys`. No keys: false.
bool VerifiedByAny(std::string_view message, const Signature& signature,
                   const std::vector<PublicKey>& keys);

// SHA-256 over data given in pieces.
class Sha256 {
  public:
    Sha256();
    void Update(const void* data, std::size_t size);
    Digest Final();

  private:
    // Large enough for libsodium's state, which stays opaque here.
    alignas(16) unsigned char m_state[128];
};

Digest HashOf(std::string_view data);

// Lower-case hexadecimal, and back. FromHex takes exactly 2 x N hex digits, of
// either case.
std::string ToHex(const std::uint8_t* bytes, std::size_t size);
template <std::size_t N> std::string ToHex(const std::array<std::uint8_t, N>& bytes) {
    return ToHex(bytes.data(), N);
}
bool FromHex(std::string_view text, std::uint8_t* out, std::size_t size);
template <std::size_t N> bool FromHex(std::string_view text, std::array<std::uint8_t, N>& out) {
    return FromHex(text, out.data(), N);
}

// A detached signature file: 128 hex digits, optionally followed by one line feed.
std::string FormatSignatureFile(const Signature& signature);
bool ParseSignatureFile(std::string_view text, Signature& signature);

} // namespace tarnvale::trust
