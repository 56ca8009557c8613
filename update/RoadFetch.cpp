// What both roads fetch before they install anything: the version file and, on
// a signed server, each version's manifest. Both arrive under local names of the
// launcher's own (RoadFiles.h) and are gone again once read.
#include "update/UpdateEngine.h"

#include "msg/MessageIds.h"
#include "platform/Files.h"
#include "state/LauncherState.h"
#include "update/PatchList.h"
#include "update/RoadFiles.h"
#include "update/VersionConfig.h"

#include <algorithm>

namespace tarnvale {

StepResult UpdateEngine::Shown(StepResult result) {
    if (!result)
        ShowStatus(result.Message());
    return result;
}

StepResult UpdateEngine::FetchVersionTable(const FetchCopy& fetch) {
    const char* const field = m_update.server.versionFileName;
    const std::string remote(
        field, std::find(field, field + sizeof m_update.server.versionFileName, '\0'));
    platform::MakeDirectory(kStagingFolder);
    StepResult result =
        remote.empty()
            ? StepResult::Failure(msgid::kTransferFailed,
                                  "the connect server named no version file inside the server root")
            : fetch(remote, kVersionFileCopy, kMaxVersionFileBytes);
    if (!result) {
        result = Shown(result);
    } else if (m_trust.Enabled()) {
        const std::string signature = UpdateTrust::SignatureName(remote);
        const StepResult fetched = fetch(signature, kVersionSignatureCopy, kMaxSignatureFileBytes);
        result = Refuse(
            fetched ? m_trust.CheckVersionFile(kVersionFileCopy, kVersionSignatureCopy, remote)
                    : UpdateTrust::Missing("signature", signature, fetched.Detail()));
    }
    if (result)
        result = ParseVersionFile(kVersionFileCopy, m_update, m_launcher, m_window);
    if (result)
        result = Refuse(m_trust.AcceptNewestVersion(NewestVersion(m_update.versionTable)));
    if (!result)
        m_update.versionTable.clear();
    platform::RemoveFile(kVersionFileCopy);
    platform::RemoveFile(kVersionSignatureCopy);
    return result;
}

StepResult UpdateEngine::FetchManifest(const std::string& version, const FetchCopy& fetch) {
    m_trust.Forget();
    if (!m_trust.Enabled())
        return {};
    const std::string manifest = trust::kManifestName;
    const std::string signature = UpdateTrust::SignatureName(manifest);
    platform::MakeDirectory(kStagingFolder);
    StepResult result = fetch(manifest, kManifestCopy, kMaxManifestBytes);
    if (!result) {
        result = UpdateTrust::Missing("manifest", version + "/" + manifest, result.Detail());
    } else {
        const StepResult fetched = fetch(signature, kManifestSignatureCopy, kMaxSignatureFileBytes);
        result = fetched ? m_trust.LoadManifest(version, kManifestCopy, kManifestSignatureCopy)
                         : UpdateTrust::Missing("signature", version + "/" + signature,
                                                fetched.Detail());
    }
    platform::RemoveFile(kManifestCopy);
    platform::RemoveFile(kManifestSignatureCopy);
    return Refuse(result);
}

} // namespace tarnvale
