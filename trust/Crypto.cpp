#include "trust/Crypto.h"

#include <sodium.h>

#include <cstdlib>
#include <cstring>

namespace tarnvale::trust {

namespace {

static_assert(sizeof(PublicKey) == crypto_sign_PUBLICKEYBYTES);
static_assert(sizeof(SecretKey) == crypto_sign_SECRETKEYBYTES);
static_assert(sizeof(Signature) == crypto_sign_BYTES);
static_assert(sizeof(Digest) == crypto_hash_sha256_BYTES);

// libsodium must be started once before use; starting it again is harmless.
// Without it, a check must never pass, so a library that cannot start ends the
// process rather than let an unchecked file through.
void Start() {
    if (sodium_init() < 0)
        std::abort();
}

crypto_hash_sha256_state* StateOf(unsigned char* bytes) {
    static_assert(sizeof(crypto_hash_sha256_state) <= 128);
    return reinterpret_cast<crypto_hash_sha256_state*>(bytes);
}

} // namespace

bool GenerateKeyPair(PublicKey& publicKey, SecretKey& secretKey) {
    if (sodium_init() < 0)
        return false;
    return crypto_sign_keypair(publicKey.data(), secretKey.data()) == 0;
}

PublicKey PublicKeyOf(const SecretKey& secretKey) {
    Start();
    PublicKey key{};
    crypto_sign_ed25519_sk_to_pk(key.data(), secretKey.data());
    return key;
}

Signature Sign(std::string_view message, const SecretKey& secretKey) {
    Start();
    Signature signature{};
    crypto_sign_detached(signature.data(), nullptr,
                         reinterpret_cast<const unsigned char*>(message.data()), message.size(),
                         secretKey.data());
    return signature;
}

bool VerifiedByAny(std::string_view message, const Signature& signature,
                   const std::vector<PublicKey>& keys) {
    Start();
    for (const PublicKey& key : keys) {
        if (crypto_sign_verify_detached(signature.data(),
                                        reinterpret_cast<const unsigned char*>(message.data()),
                                        message.size(), key.data()) == 0)
            return true;
    }
    return false;
}

Sha256::Sha256() {
    Start();
    crypto_hash_sha256_init(StateOf(m_state));
}

void Sha256::Update(const void* data, std::size_t size) {
    crypto_hash_sha256_update(StateOf(m_state), static_cast<const unsigned char*>(data), size);
}

Digest Sha256::Final() {
    Digest digest{};
    crypto_hash_sha256_final(StateOf(m_state), digest.data());
    return digest;
}

Digest HashOf(std::string_view data) {
    Sha256 hash;
    hash.Update(data.data(), data.size());
    return hash.Final();
}

std::string ToHex(const std::uint8_t* bytes, std::size_t size) {
    std::string text(size * 2 + 1, '\0');
    sodium_bin2hex(text.data(), text.size(), bytes, size);
    text.pop_back();
    return text;
}

bool FromHex(std::string_view text, std::uint8_t* out, std::size_t size) {
    // Exactly two digits a byte: no separators, nothing before or after.
    std::size_t written = 0;
    const char* end = nullptr;
    return text.size() == size * 2 &&
           sodium_hex2bin(out, size, text.data(), text.size(), nullptr, &written, &end) == 0 &&
           written == size && end == text.data() + text.size();
}

std::string FormatSignatureFile(const Signature& signature) {
    return ToHex(signature) + "\n";
}

bool ParseSignatureFile(std::string_view text, Signature& signature) {
    if (!text.empty() && text.back() == '\n')
        text.remove_suffix(1);
    return FromHex(text, signature);
}

} // namespace tarnvale::trust
