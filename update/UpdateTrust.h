#pragma once

#include "msg/StepResult.h"
#include "trust/Crypto.h"
#include "trust/Manifest.h"
#include "update/ClientVersion.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tarnvale {

// What a launcher built with the operator's public keys demands of the update
// server before it installs anything: a signed version file, and for each
// version a signed manifest that names the version and every file the road
// transfers, with its size and SHA-256. Without keys it demands nothing and the
// roads behave exactly as without it.
//
// Every failure is a failure of the road with message 138 and the exact cause
// for the operator ("bad signature: version.wvd", "hash mismatch: data/x.bin").
// A missing signature or manifest is a failure, never a reason to go on unsigned.
class UpdateTrust {
  public:
    explicit UpdateTrust(std::vector<trust::PublicKey> keys) : m_keys(std::move(keys)) {}

    bool Enabled() const { return !m_keys.empty(); }
    const std::vector<trust::PublicKey>& Keys() const { return m_keys; }

    // The names a signed server keeps beside the version file and in each
    // version's folder.
    static std::string SignatureName(const std::string& file) {
        return file + trust::kSignatureSuffix;
    }

    // Checks the fetched version file `versionFile` against its fetched
    // signature `signatureFile`, before anything reads the table; `shown` is the
    // version file's name on the server, for the cause. The caller removes the
    // local copies.
    StepResult CheckVersionFile(const std::string& versionFile, const std::string& signatureFile,
                                const std::string& shown) const;

    // With keys: refuses a signed version table whose newest version is older
    // than the newest one accepted before (kTrustedVersionMark in the game
    // folder), and otherwise raises the mark to it. A replayed old signature
    // cannot take the game backwards even when config.ini was lost. Without
    // keys: success, and no mark is kept.
    StepResult AcceptNewestVersion(const ClientVersion& newest) const;

    // Reads the fetched manifest of `version` and its signature (the caller
    // removes the local copies) and keeps it for the version's files; a bad
    // signature, an unreadable manifest or one of another version is a failure.
    StepResult LoadManifest(const std::string& version, const std::string& manifestFile,
                            const std::string& signatureFile);
    // Forgets the manifest, at the start and end of each version.
    void Forget() { m_manifest.reset(); }
    // Whether a manifest is held (only with keys, between LoadManifest and Forget).
    bool HasManifest() const { return m_manifest.has_value(); }

    // The size the manifest gives `remotePath`, for a transfer to stop at as
    // soon as it passes it. Without keys: success, `size` untouched. With keys, a
    // file the manifest leaves out is refused before any of it is fetched.
    StepResult ExpectedSize(const std::string& remotePath, std::uint64_t& size) const;

    // Checks a file the road has just transferred (`remotePath` below the
    // version's folder, as requested; `localPath` where it arrived) against the
    // manifest; a file that fails is removed. Without keys: success.
    StepResult CheckFile(const std::string& remotePath, const std::string& localPath) const;

    // A signature or manifest (`what`, the file `name`) that could not be
    // fetched, as a road failure; `why` is the road's own account.
    static StepResult Missing(const std::string& what, const std::string& name,
                              const std::string& why);

  private:
    std::vector<trust::PublicKey> m_keys;
    std::optional<trust::Manifest> m_manifest;
};

// SHA-256 and size of a local file, read in pieces; false if it cannot be read.
bool HashLocalFile(const std::string& path, trust::Digest& digest, std::uint64_t& size);

} // namespace tarnvale
