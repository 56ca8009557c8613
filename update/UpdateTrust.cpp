#include "update/UpdateTrust.h"

#include "msg/MessageIds.h"
#include "platform/FileOps.h"
#include "platform/Files.h"
#include "update/RoadFiles.h"

namespace tarnvale {

namespace {

StepResult Refused(const std::string& detail) {
    return StepResult::Failure(msgid::kUpdateFailed, detail);
}

bool ReadSignature(const std::string& path, trust::Signature& signature) {
    std::string text;
    return platform::ReadWholeFile(path, text) && trust::ParseSignatureFile(text, signature);
}

} // namespace

bool HashLocalFile(const std::string& path, trust::Digest& digest, std::uint64_t& size) {
    platform::InputFile in;
    if (!in.Open(path))
        return false;
    trust::Sha256 hash;
    char buffer[64 * 1024];
    size = 0;
    for (;;) {
        std::size_t got = 0;
        if (!in.Read(buffer, sizeof buffer, got))
            return false;
        if (got == 0)
            break;
        hash.Update(buffer, got);
        size += got;
    }
    digest = hash.Final();
    return true;
}

StepResult UpdateTrust::Missing(const std::string& what, const std::string& name,
                                const std::string& why) {
    return Refused("missing " + what + ": " + name + " (" + why + ")");
}

StepResult UpdateTrust::CheckVersionFile(const std::string& versionFile,
                                         const std::string& signatureFile,
                                         const std::string& shown) const {
    trust::Signature signature{};
    if (!ReadSignature(signatureFile, signature))
        return Refused("unreadable signature: " + SignatureName(shown));
    std::string text;
    if (!platform::ReadWholeFile(versionFile, text))
        return Refused("cannot read " + versionFile + ": " + platform::LastFileErrorText());
    if (!trust::VerifiedByAny(text, signature, m_keys))
        return Refused("bad signature: " + shown);
    return {};
}

StepResult UpdateTrust::AcceptNewestVersion(const ClientVersion& newest) const {
    if (!Enabled())
        return {};
    // A mark that cannot be read (damaged, or of another form) is replaced: the
    // launcher must not stop updating for good over it.
    std::string text;
    if (platform::ReadWholeFile(kTrustedVersionMark, text) && text.size() < 64) {
        const ClientVersion mark = ParseVersionReadForm(text);
        if (newest.Packed() < mark.Packed())
            return Refused("rolled back version file: its newest version " +
                           FormatConfigForm(newest) + " is older than " + FormatConfigForm(mark) +
                           ", which this launcher accepted before");
        if (newest == mark)
            return {};
    }
    if (!platform::WriteWholeFile(kTrustedVersionMark, FormatConfigForm(newest) + "\n"))
        return Refused(std::string("cannot record the newest trusted version in ") +
                       kTrustedVersionMark + ": " + platform::LastFileErrorText());
    return {};
}

StepResult UpdateTrust::ExpectedSize(const std::string& remotePath, std::uint64_t& size) const {
    if (!Enabled())
        return {};
    const trust::ManifestEntry* entry = m_manifest ? m_manifest->Find(remotePath) : nullptr;
    if (!entry)
        return Refused((m_manifest ? "not in the manifest: " : "no manifest for: ") + remotePath);
    size = entry->size;
    return {};
}

StepResult UpdateTrust::LoadManifest(const std::string& version, const std::string& manifestFile,
                                     const std::string& signatureFile) {
    m_manifest.reset();
    trust::Signature signature{};
    const bool signatureRead = ReadSignature(signatureFile, signature);
    std::string text;
    const bool manifestRead = platform::ReadWholeFile(manifestFile, text);
    const std::string shown = version + "/" + trust::kManifestName;
    if (!signatureRead)
        return Refused("unreadable signature: " + shown + trust::kSignatureSuffix);
    if (!manifestRead)
        return Refused("cannot read " + manifestFile + ": " + platform::LastFileErrorText());
    if (!trust::VerifiedByAny(text, signature, m_keys))
        return Refused("bad signature: " + shown);
    trust::Manifest manifest;
    std::string error;
    if (!trust::ParseManifest(text, manifest, error))
        return Refused("unreadable manifest: " + shown + ": " + error);
    if (manifest.version != version)
        return Refused("manifest of another version: " + shown + " names version " +
                       manifest.version);
    m_manifest = std::move(manifest);
    return {};
}

StepResult UpdateTrust::CheckFile(const std::string& remotePath,
                                  const std::string& localPath) const {
    if (!Enabled())
        return {};
    auto refuse = [&](const std::string& why) {
        platform::RemoveFile(localPath);
        return Refused(why + ": " + remotePath);
    };
    if (!m_manifest)
        return refuse("no manifest for");
    const trust::ManifestEntry* entry = m_manifest->Find(remotePath);
    if (!entry)
        return refuse("not in the manifest");
    trust::Digest digest{};
    std::uint64_t size = 0;
    if (!HashLocalFile(localPath, digest, size))
        return refuse("cannot read the transferred file");
    if (size != entry->size)
        return refuse("size mismatch (" + std::to_string(size) + " bytes, manifest " +
                      std::to_string(entry->size) + ")");
    if (digest != entry->sha256)
        return refuse("hash mismatch");
    return {};
}

} // namespace tarnvale
