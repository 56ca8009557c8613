#include "tools/PublishedVersions.h"

#include "platform/Names.h"
#include "tools/ToolSupport.h"
#include "update/ConfigIni.h"
#include "update/PatchList.h"
#include "update/UpdateState.h"
#include "update/VersionConfig.h"

#include <filesystem>

namespace tarnvale::tools {

bool IsPublishableVersionName(std::string_view name, ClientVersion& value) {
    if (name.empty() || name.size() > kMaxVersionNameLength)
        return false;
    unsigned parts[3] = {};
    int part = 0;
    int digits = 0;
    for (const char c : name) {
        if (c == '.') {
            if (digits == 0 || ++part > 2)
                return false;
            digits = 0;
        } else if (c >= '0' && c <= '9' && digits < 3) {
            parts[part] = parts[part] * 10 + static_cast<unsigned>(c - '0');
            ++digits;
        } else {
            return false;
        }
    }
    if (part != 2 || digits == 0 || parts[0] > 255 || parts[1] > 255 || parts[2] > 255)
        return false;
    value = {static_cast<std::uint8_t>(parts[0]), static_cast<std::uint8_t>(parts[1]),
             static_cast<std::uint8_t>(parts[2])};
    return true;
}

RootVersions ReadRootVersions(const std::string& root, const std::string& versionFile,
                              std::string& bytes, std::vector<VersionEntry>& table,
                              std::string& error) {
    const std::filesystem::path path = std::filesystem::path(root) / versionFile;
    std::string why;
    if (!ReadToolFile(path, bytes, why)) {
        error = "cannot read " + path.string() + ": " + why;
        return RootVersions::CannotRead;
    }
    PatchListReader reader(bytes);
    if (ReadVersionTable(reader, table) != VersionFileResult::Ok) {
        error = path.string() + " does not read as launchers read it";
        return RootVersions::NotAsLaunchersRead;
    }
    return RootVersions::Read;
}

bool CheckNewVersion(const std::string& versions, const std::string& shownPath,
                     std::string_view name, const ClientVersion& value, std::string& error) {
    PatchListReader reader(versions);
    std::vector<VersionEntry> table;
    switch (ReadVersionTable(reader, table)) {
    case VersionFileResult::Ok:
        break;
    case VersionFileResult::Unreadable:
        error = shownPath + " holds a name launchers cannot read (over " +
                std::to_string(kMaxVersionNameLength) + " characters); mend it first";
        return false;
    case VersionFileResult::TooMany:
        error = shownPath + " already holds more versions than launchers read (" +
                std::to_string(kMaxVersions) + ")";
        return false;
    }
    if (table.size() >= static_cast<std::size_t>(kMaxVersions)) {
        error = shownPath + " already holds " + std::to_string(kMaxVersions) +
                " versions, all that launchers read; start a new update server";
        return false;
    }
    for (const VersionEntry& entry : table) {
        const std::string_view published = TokenString(entry.name);
        if (NamesEqual(published, name) || entry.version == value) {
            error = "version " + std::string(name) + " is already published (as \"" +
                    std::string(published) + "\" in " + shownPath + ")";
            return false;
        }
        if (entry.version.Packed() > value.Packed()) {
            error = "version " + std::string(name) + " is older than the published version " +
                    std::string(published) +
                    "; launchers install only versions newer than their own";
            return false;
        }
    }
    return true;
}

bool CheckConfigVersion(const std::string& config, const std::string& shown, bool testServer,
                        std::string_view name, const ClientVersion& value, std::string& error) {
    const char* const key = testServer ? kConfigTestVersionKey : kConfigVersionKey;
    const std::string where = shown + " [" + kConfigSection + "] " + key;
    const std::string text = ini::ReadProfileString(config, kConfigSection, key, "", 256);
    ClientVersion named;
    if (text.empty()) {
        error = where + " is missing: the launcher would record version 0.0.0";
        return false;
    }
    if (text.size() > kConfigValueBuffer - 1 || !IsPublishableVersionName(text, named)) {
        error = where + " is \"" + Printable(text) +
                "\", not a version launchers read (three numbers 0 to 255, at most " +
                std::to_string(kConfigValueBuffer - 1) + " characters, e.g. " +
                FormatConfigForm(value) + ")";
        return false;
    }
    if (!(named == value)) {
        error = where + " names version " + text + ", not " + std::string(name) +
                ": players would record the wrong version";
        return false;
    }
    return true;
}

std::string AppendVersion(std::string versions, std::string_view name) {
    if (!versions.empty() && versions.back() != '\n')
        versions += '\n';
    versions += '"';
    versions += name;
    versions += "\"\n";
    return versions;
}

} // namespace tarnvale::tools
