#pragma once

#include "trust/Crypto.h"
#include "trust/Manifest.h"

#include <filesystem>
#include <string>
#include <vector>

// The operator's side of trusted updates: key pairs, signed manifests of version
// folders, the signed version file, and the check of a whole server tree.
namespace tarnvale::tools {

// Writes a new key pair: the secret key to `secretPath`, readable and writable
// by its owner only, and the public key to `secretPath` + ".pub". Neither file
// may exist yet.
bool WriteKeyPair(const std::string& secretPath, trust::PublicKey& publicKey, std::string& error);
// Reads a secret key file that WriteKeyPair wrote.
bool ReadSecretKey(const std::string& path, trust::SecretKey& key, std::string& error);
// A public key: 64 hex digits, or a file that holds them (such as KEY.pub).
bool ReadPublicKey(const std::string& textOrPath, trust::PublicKey& key, std::string& error);

// The manifest of the version folder `directory`: every file below it (what the
// roads may transfer), its manifest and signature excepted, in a stable order.
bool MakeManifest(const std::filesystem::path& directory, const std::string& version,
                  trust::Manifest& manifest, std::string& error);
// Writes the folder's manifest and its detached signature into it.
bool SignVersionFolder(const std::filesystem::path& directory, const std::string& version,
                       const trust::SecretKey& key, std::string& error);
// Writes `versionFile`'s detached signature beside it, for the bytes `contents`.
bool SignVersionFile(const std::filesystem::path& versionFile, const std::string& contents,
                     const trust::SecretKey& key, std::string& error);
// The first version named in the version file `bytes` whose folder below `root`
// holds no manifest; empty when all have one.
std::string FirstUnsignedVersion(const std::string& root, const std::string& bytes);
// Signs a whole server tree anew: every published version's folder and the
// version file (to start signing an existing server, or to move to a new key).
bool SignServer(const std::string& root, const std::string& versionFile,
                const trust::SecretKey& key, std::size_t& versions, std::string& error);

// What a check of a server tree found.
struct ServerCheck {
    std::size_t versions = 0;
    std::size_t files = 0;
    std::vector<std::string> problems; // empty: every launcher with one of the keys agrees
};
// Checks everything a launcher built with `keys` checks, for every published
// version, and that no version folder holds a file its manifest leaves out.
ServerCheck VerifyServer(const std::string& root, const std::string& versionFile,
                         const std::vector<trust::PublicKey>& keys);

} // namespace tarnvale::tools
