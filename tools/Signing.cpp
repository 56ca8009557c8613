#include "tools/Signing.h"

#include "platform/FileOps.h"
#include "platform/Files.h"
#include "tools/PublishedVersions.h"
#include "tools/ToolSupport.h"
#include "update/PatchList.h"
#include "update/UpdateState.h"
#include "update/UpdateTrust.h"
#include "update/VersionConfig.h"

#include <algorithm>
#include <fstream>

namespace tarnvale::tools {
namespace fs = std::filesystem;

namespace {

std::string Trimmed(std::string text) {
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' '))
        text.pop_back();
    return text;
}

bool WriteText(const fs::path& path, const std::string& text, std::string& error) {
    if (platform::WriteWholeFile(path.string(), text))
        return true;
    error = "cannot write " + path.string() + ": " + platform::LastFileErrorText();
    return false;
}

bool ReadSignature(const fs::path& path, trust::Signature& signature) {
    std::string text, why;
    return ReadToolFile(path, text, why) && trust::ParseSignatureFile(text, signature);
}

bool IsSignatureFile(const fs::path& relative) {
    const std::string name = relative.generic_string();
    return name == trust::kManifestName ||
           name == std::string(trust::kManifestName) + trust::kSignatureSuffix;
}

void CheckVersionFolder(const fs::path& directory, const std::string& version,
                        const std::vector<trust::PublicKey>& keys, ServerCheck& check) {
    auto problem = [&](const std::string& what) {
        check.problems.push_back(version + ": " + what);
    };
    const fs::path manifestPath = directory / trust::kManifestName;
    std::string text, why;
    if (!ReadToolFile(manifestPath, text, why))
        return problem("missing manifest " + manifestPath.string() + " (" + why + ")");
    trust::Signature signature{};
    if (!ReadSignature(fs::path(manifestPath.string() + trust::kSignatureSuffix), signature))
        return problem("missing or unreadable signature " + manifestPath.string() +
                       trust::kSignatureSuffix);
    if (!trust::VerifiedByAny(text, signature, keys))
        return problem("bad signature: " + manifestPath.string());
    trust::Manifest manifest;
    std::string error;
    if (!trust::ParseManifest(text, manifest, error))
        return problem(error);
    if (manifest.version != version)
        return problem("the manifest names version " + manifest.version);
    for (const trust::ManifestEntry& entry : manifest.entries) {
        trust::Digest digest{};
        std::uint64_t size = 0;
        const fs::path file = directory / entry.path;
        if (!HashLocalFile(file.string(), digest, size))
            problem("missing file " + entry.path);
        else if (size != entry.size)
            problem("size mismatch: " + entry.path);
        else if (digest != entry.sha256)
            problem("hash mismatch: " + entry.path);
        else
            ++check.files;
    }
    trust::Manifest present;
    if (!MakeManifest(directory, version, present, error))
        return problem(error);
    for (const trust::ManifestEntry& entry : present.entries)
        if (!manifest.Find(entry.path))
            problem("not in the manifest: " + entry.path);
}

} // namespace

bool WriteKeyPair(const std::string& secretPath, trust::PublicKey& publicKey, std::string& error) {
    const fs::path secret(secretPath);
    const fs::path pub(secretPath + ".pub");
    std::error_code ec;
    for (const fs::path& path : {secret, pub}) {
        if (fs::exists(fs::symlink_status(path, ec))) {
            error = path.string() + " already exists; a key is never overwritten";
            return false;
        }
    }
    trust::SecretKey secretKey{};
    if (!trust::GenerateKeyPair(publicKey, secretKey)) {
        error = "the cryptography library cannot start";
        return false;
    }
    // The file is made owner-only while still empty, before the key is in it.
    {
        std::ofstream create(secret, std::ios::binary);
        if (!create) {
            error = "cannot create " + secret.string();
            return false;
        }
    }
    fs::permissions(secret, fs::perms::owner_read | fs::perms::owner_write,
                    fs::perm_options::replace, ec);
    if (ec) {
        fs::remove(secret, ec);
        error = "cannot make " + secret.string() + " readable by its owner only";
        return false;
    }
    std::ofstream out(secret, std::ios::binary | std::ios::trunc);
    out << trust::ToHex(secretKey) << "\n";
    out.close();
    if (!out) {
        fs::remove(secret, ec);
        error = "cannot write " + secret.string();
        return false;
    }
    std::ofstream pubOut(pub, std::ios::binary);
    pubOut << trust::ToHex(publicKey) << "\n";
    pubOut.close();
    if (!pubOut) {
        error = "cannot write " + pub.string();
        return false;
    }
    return true;
}

bool ReadSecretKey(const std::string& path, trust::SecretKey& key, std::string& error) {
    std::string text, why;
    if (!ReadToolFile(path, text, why)) {
        error = "cannot read the secret key " + path + ": " + why;
        return false;
    }
    // libsodium's secret key ends with its public key: a damaged file shows.
    trust::PublicKey embedded{};
    const bool parsed = trust::FromHex(Trimmed(text), key);
    std::copy(key.begin() + 32, key.end(), embedded.begin());
    if (!parsed || trust::PublicKeyOf(key) != embedded) {
        error = path + " is not a secret key that tarnvale-patch keygen wrote";
        return false;
    }
    return true;
}

bool ReadPublicKey(const std::string& textOrPath, trust::PublicKey& key, std::string& error) {
    if (trust::FromHex(textOrPath, key))
        return true;
    std::string text, why;
    if (!ReadToolFile(textOrPath, text, why)) {
        error = "\"" + Printable(textOrPath) +
                "\" is neither a public key of 64 hex digits nor a readable file (" + why + ")";
        return false;
    }
    if (trust::SecretKey secret{}; trust::FromHex(Trimmed(text), secret)) {
        error = textOrPath + " holds a secret key; give its public key, the " + textOrPath +
                ".pub file that keygen wrote beside it (the secret key belongs on the signing "
                "machine only)";
        return false;
    }
    if (!trust::FromHex(Trimmed(text), key)) {
        error = textOrPath + " does not hold a public key of 64 hex digits";
        return false;
    }
    return true;
}

bool MakeManifest(const fs::path& directory, const std::string& version, trust::Manifest& manifest,
                  std::string& error) {
    manifest = {};
    manifest.version = version;
    std::error_code ec;
    for (fs::recursive_directory_iterator it(directory, ec), end; !ec && it != end;
         it.increment(ec)) {
        if (!it->is_regular_file(ec))
            continue;
        const fs::path relative = it->path().lexically_relative(directory);
        if (IsSignatureFile(relative))
            continue;
        trust::ManifestEntry entry;
        entry.path = relative.generic_string();
        if (!HashLocalFile(it->path().string(), entry.sha256, entry.size)) {
            error = "cannot read " + it->path().string();
            return false;
        }
        manifest.entries.push_back(std::move(entry));
    }
    if (ec) {
        error = "cannot list " + directory.string() + ": " + ec.message();
        return false;
    }
    std::sort(manifest.entries.begin(), manifest.entries.end(),
              [](const auto& a, const auto& b) { return a.path < b.path; });
    // What the launcher would refuse to read is not written.
    trust::Manifest check;
    if (!trust::ParseManifest(trust::FormatManifest(manifest), check, error)) {
        error = directory.string() + ": " + error;
        return false;
    }
    return true;
}

bool SignVersionFolder(const fs::path& directory, const std::string& version,
                       const trust::SecretKey& key, std::string& error) {
    trust::Manifest manifest;
    if (!MakeManifest(directory, version, manifest, error))
        return false;
    const std::string text = trust::FormatManifest(manifest);
    const fs::path path = directory / trust::kManifestName;
    return WriteText(path, text, error) &&
           WriteText(fs::path(path.string() + trust::kSignatureSuffix),
                     trust::FormatSignatureFile(trust::Sign(text, key)), error);
}

bool SignVersionFile(const fs::path& versionFile, const std::string& contents,
                     const trust::SecretKey& key, std::string& error) {
    return WriteText(fs::path(versionFile.string() + trust::kSignatureSuffix),
                     trust::FormatSignatureFile(trust::Sign(contents, key)), error);
}

std::string FirstUnsignedVersion(const std::string& root, const std::string& bytes) {
    PatchListReader reader(bytes);
    std::vector<VersionEntry> table;
    ReadVersionTable(reader, table);
    std::error_code ec;
    for (const VersionEntry& entry : table) {
        const std::string name(TokenString(entry.name));
        if (!fs::exists(fs::path(root) / name / trust::kManifestName, ec))
            return name;
    }
    return std::string();
}

bool SignServer(const std::string& root, const std::string& versionFile,
                const trust::SecretKey& key, std::size_t& versions, std::string& error) {
    std::string bytes;
    std::vector<VersionEntry> table;
    if (ReadRootVersions(root, versionFile, bytes, table, error) != RootVersions::Read)
        return false;
    versions = 0;
    for (const VersionEntry& entry : table) {
        const std::string name(TokenString(entry.name));
        const fs::path directory = fs::path(root) / name;
        std::error_code ec;
        if (!fs::is_directory(directory, ec)) {
            error = "version " + name + " has no folder " + directory.string();
            return false;
        }
        if (!SignVersionFolder(directory, name, key, error))
            return false;
        ++versions;
    }
    return SignVersionFile(fs::path(root) / versionFile, bytes, key, error);
}

ServerCheck VerifyServer(const std::string& root, const std::string& versionFile,
                         const std::vector<trust::PublicKey>& keys) {
    ServerCheck check;
    std::string bytes, error;
    std::vector<VersionEntry> table;
    if (ReadRootVersions(root, versionFile, bytes, table, error) != RootVersions::Read) {
        check.problems.push_back(error);
        return check;
    }
    const fs::path path = fs::path(root) / versionFile;
    trust::Signature signature{};
    if (!ReadSignature(fs::path(path.string() + trust::kSignatureSuffix), signature))
        check.problems.push_back("missing or unreadable signature " + path.string() +
                                 trust::kSignatureSuffix);
    else if (!trust::VerifiedByAny(bytes, signature, keys))
        check.problems.push_back("bad signature: " + path.string());
    for (const VersionEntry& entry : table) {
        ++check.versions;
        const std::string name(TokenString(entry.name));
        CheckVersionFolder(fs::path(root) / name, name, keys, check);
    }
    return check;
}

} // namespace tarnvale::tools
