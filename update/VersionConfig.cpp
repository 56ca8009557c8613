#include "update/VersionConfig.h"

#include "msg/MessageIds.h"
#include "platform/FileOps.h"
#include "platform/Files.h"
#include "state/LauncherState.h"
#include "state/LauncherWindow.h"
#include "update/ConfigIni.h"
#include "update/PatchList.h"

#include <algorithm>
#include <cstring>

namespace tarnvale {
namespace {

// The test-mode weight. The first component is weighed by 65535 rather than
// 65536, so 1.00.00 and 0.255.255 weigh the same.
int TestModeWeight(const ClientVersion& v) {
    return v.major * 65535 + v.minor * 256 + v.build;
}

} // namespace

std::string ConfigIniPath(const std::string& currentDirectory) {
    // A directory the system could not tell must not turn into the drive's root.
    if (currentDirectory.empty())
        return kConfigIniName;
    if (currentDirectory.back() == '\\')
        return currentDirectory + kConfigIniName;
    return currentDirectory + "\\" + kConfigIniName;
}

void ReadLocalVersion(const LauncherState& launcher, UpdateState& update,
                      const std::string& currentDirectory) {
    if (launcher.launchMode == kLaunchOverride) {
        update.localVersion = {launcher.overrideVersion[0], launcher.overrideVersion[1],
                               launcher.overrideVersion[2]};
        return;
    }
    const std::string path = ConfigIniPath(currentDirectory);
    const ClientVersion version = ParseVersionReadForm(ini::ReadProfileStringFromFile(
        path, kConfigSection, kConfigVersionKey, kConfigDefaultVersion, kConfigValueBuffer));
    const ClientVersion testVersion = ParseVersionReadForm(ini::ReadProfileStringFromFile(
        path, kConfigSection, kConfigTestVersionKey, kConfigDefaultVersion, kConfigValueBuffer));
    if (launcher.launchMode == kLaunchTest)
        update.localVersion =
            TestModeWeight(version) > TestModeWeight(testVersion) ? version : testVersion;
    else
        update.localVersion = version;
}

StepResult WriteLocalVersion(const LauncherState& launcher, const UpdateState& update,
                             const std::string& currentDirectory) {
    const std::string path = ConfigIniPath(currentDirectory);
    const std::string text = FormatConfigForm(update.localVersion);
    // Both keys in one replacement of the file: a launcher stopped in between
    // must not leave one key ahead of the other.
    std::vector<ini::ProfileEntry> entries;
    if (launcher.launchMode == kLaunchTest)
        entries.push_back({kConfigTestVersionKey, text});
    if (launcher.testServerFlag == 0)
        entries.push_back({kConfigVersionKey, text});
    if (entries.empty() || ini::WriteProfileStringsToFile(path, kConfigSection, entries))
        return {};
    return StepResult::Failure(msgid::kUpdateFailed, "cannot record the version in " +
                                                         platform::NativePath(path) + ": " +
                                                         platform::LastFileErrorText());
}

VersionFileResult ReadVersionTable(PatchListReader& reader, std::vector<VersionEntry>& table) {
    table.clear();
    for (;;) {
        const TokenKind kind = reader.NextToken();
        if (kind == TokenKind::End)
            return VersionFileResult::Ok;
        const std::string_view name = TokenString(reader.Text());
        if (kind == TokenKind::TooLong ||
            (kind == TokenKind::Name && name.size() > kMaxVersionNameLength)) {
            table.clear();
            return VersionFileResult::Unreadable;
        }
        if (kind != TokenKind::Name)
            continue;
        VersionEntry entry;
        std::memcpy(entry.name, name.data(), name.size());
        entry.version = ParseVersionReadForm(name);
        table.push_back(entry);
        if (table.size() > static_cast<std::size_t>(kMaxVersions)) {
            table.clear();
            return VersionFileResult::TooMany;
        }
    }
}

StepResult ParseVersionFile(const std::string& path, UpdateState& update,
                            const LauncherState& launcher, LauncherWindow& window) {
    window.SetStatusText(launcher.Text(msgid::kReadingVersionFile));
    update.versionTable.clear();
    const char* const field = update.server.versionFileName;
    const std::string fileName(
        field, std::find(field, field + sizeof update.server.versionFileName, '\0'));
    auto fail = [&](int id, const std::string& why) {
        window.SetStatusText(launcher.Text(id));
        return StepResult::Failure(id, "version file \"" + fileName + "\": " + why);
    };
    PatchListReader reader;
    if (!reader.Open(path))
        return fail(msgid::kCannotOpenListFile, platform::LastFileErrorText());
    switch (ReadVersionTable(reader, update.versionTable)) {
    case VersionFileResult::Ok:
        return {};
    case VersionFileResult::Unreadable:
        return fail(msgid::kCannotOpenListFile, "a name longer than " +
                                                    std::to_string(kMaxVersionNameLength) +
                                                    " characters, or an overlong token");
    case VersionFileResult::TooMany:
        return fail(msgid::kTooManyVersions,
                    "more than " + std::to_string(kMaxVersions) + " versions");
    }
    return fail(msgid::kCannotOpenListFile, "unreadable");
}

ClientVersion NewestVersion(const std::vector<VersionEntry>& table) {
    ClientVersion newest;
    for (const VersionEntry& entry : table) {
        if (entry.Packed() > newest.Packed())
            newest = entry.version;
    }
    return newest;
}

bool IsNewer(const VersionEntry& entry, const ClientVersion& local) {
    return entry.Packed() > local.Packed();
}

std::vector<std::size_t> FtpVersionsToInstall(const std::vector<VersionEntry>& table,
                                              ClientVersion local) {
    std::vector<std::size_t> order;
    for (std::size_t i = 0; i < table.size(); ++i) {
        if (!IsNewer(table[i], local))
            continue;
        order.push_back(i);
        local = table[i].version;
    }
    return order;
}

std::size_t HttpFirstVersionToInstall(const std::vector<VersionEntry>& table,
                                      const ClientVersion& local) {
    for (std::size_t i = table.size(); i > 0; --i) {
        if (!IsNewer(table[i - 1], local))
            return i;
    }
    return 0;
}

} // namespace tarnvale
