#include "tools/RoadCheck.h"

#include "platform/Names.h"
#include "tools/PublishedVersions.h"
#include "tools/ToolSupport.h"
#include "update/CUnzipFile.h"
#include "update/PatchList.h"
#include "update/PathSafety.h"
#include "update/UpdateEngine.h"
#include "update/UpdateServer.h"
#include "update/VersionConfig.h"

#include <algorithm>
#include <filesystem>
#include <map>
#include <memory>

namespace tarnvale::tools {
namespace fs = std::filesystem;

namespace {

// One version folder under check; problems are prefixed with the version's name.
class VersionCheck {
  public:
    VersionCheck(const fs::path& directory, std::string name, const ClientVersion& value,
                 std::vector<std::string>& problems)
        : m_directory(directory), m_name(std::move(name)), m_value(value), m_problems(problems) {}

    void Problem(const std::string& what) { m_problems.push_back(m_name + ": " + what); }

    void Run(Road road) {
        std::string list, why;
        if (!ReadToolFile(m_directory / updateserver::kPatchListName, list, why))
            return Problem("cannot read list.inf (" + why + ")");
        const bool packed = HasFlag(list, kFlagPackingVersion);
        if (road == Road::Http && !packed)
            return Problem("file by file (list.inf has no #PACKINGVERSION#): HTTP launchers fetch "
                           "only " +
                           m_name +
                           "/up_list.zip and fail; serve this root over FTP only "
                           "(answer = ftp)");
        if (packed || road == Road::Http) {
            CheckPackedList(list);
            CheckArchive(HasFlag(list, kFlagTestServer));
        } else {
            CheckFileList(list, HasFlag(list, kFlagCompressed), HasFlag(list, kFlagNewToolVersion));
        }
    }

  private:
    static bool HasFlag(const std::string& list, const char* flag) {
        PatchListReader reader(list);
        return ListHasKeyword(reader, flag);
    }

    void CheckPackedList(const std::string& list) {
        PatchListReader reader(list);
        PackedReading reading(reader, LauncherFileName());
        for (PackedEntry entry = reading.Next(); entry.kind != PackedEntry::Kind::End;
             entry = reading.Next()) {
            if (entry.kind == PackedEntry::Kind::Rejected)
                return Problem("list.inf holds an overlong name or a path that leaves the game "
                               "folder; launchers refuse the version");
        }
    }

    void CheckArchive(bool testServer) {
        const fs::path archive = m_directory / updateserver::kArchiveName;
        if (const std::string why = WhyUnreadable(archive); !why.empty())
            return Problem("up_list.zip " + why);
        std::string entry, config;
        bool hasConfig = false;
        try {
            CUnzipFile zip(archive.string());
            const auto buffer = std::make_unique<unsigned char[]>(CUnzipFile::kReadBufferSize);
            for (bool more = zip.GoToFirstFile(); more; more = zip.GoToNextFile()) {
                entry = zip.GetCurrentFileName();
                if (!IsSafeGamePath(entry))
                    return Problem("up_list.zip entry \"" + Printable(entry) +
                                   "\" leaves the game folder; launchers refuse the archive");
                if (entry.back() == '/' || entry.back() == '\\')
                    continue;
                const bool isConfig = NamesEqual(entry, kConfigIniName);
                hasConfig = hasConfig || isConfig;
                // Every entry is read to its end, so that its checksum is tested.
                zip.OpenCurrentFile();
                for (;;) {
                    const std::size_t got =
                        zip.ReadCurrentFile(buffer.get(), CUnzipFile::kReadBufferSize);
                    if (isConfig && config.size() < 65536)
                        config.append(reinterpret_cast<const char*>(buffer.get()), got);
                    if (got < CUnzipFile::kReadBufferSize)
                        break;
                }
                zip.CloseCurrentFile();
            }
            zip.Close();
        } catch (const CZipException& e) {
            return Problem("up_list.zip" +
                           (entry.empty() ? "" : ", entry \"" + Printable(entry) + "\"") + ": " +
                           e.CauseText());
        } catch (const CFileException&) {
            return Problem("cannot open up_list.zip");
        }
        if (!hasConfig)
            return Problem("up_list.zip has no top-level config.ini; launchers stop with an "
                           "error after unpacking it");
        std::string error;
        if (!CheckConfigVersion(config, "up_list.zip's config.ini", testServer, m_name, m_value,
                                error))
            Problem(error);
    }

    // The server folder's file names, as the FTP listing gives them.
    const std::vector<std::string>& Listing(const fs::path& folder) {
        auto [it, added] = m_listings.try_emplace(folder.string());
        if (!added)
            return it->second;
        std::error_code ec;
        for (fs::directory_iterator entry(folder, ec), end; !ec && entry != end;
             entry.increment(ec))
            if (entry->is_regular_file(ec))
                it->second.push_back(entry->path().filename().string());
        if (it->second.size() > kMaxRemoteListing)
            Problem("server folder " + Printable(folder.string()) + " holds " +
                    std::to_string(it->second.size()) + " files; launchers list at most " +
                    std::to_string(kMaxRemoteListing));
        return it->second;
    }

    void CheckFileList(const std::string& list, bool compressed, bool mirrored) {
        PatchListReader reader(list);
        FileByFileReading reading(reader);
        fs::path folder = m_directory;
        for (;;) {
            const FileEntry entry = reading.Next();
            switch (entry.kind) {
            case FileEntry::Kind::End:
                return;
            case FileEntry::Kind::Rejected:
                return Problem("list.inf holds an overlong name or a path that leaves the game "
                               "folder; launchers refuse the version");
            case FileEntry::Kind::Folder:
                if (mirrored) {
                    std::string below = entry.folder;
                    std::replace(below.begin(), below.end(), '\\', '/');
                    folder = m_directory / below;
                }
                break;
            case FileEntry::Kind::File: {
                const std::string shown = Printable(entry.relativePath);
                if (compressed && !updateserver::EndsWithPackedSuffix(entry.relativePath))
                    Problem("list.inf names " + shown +
                            " in a #COMPRESSED# version, but only NAME.QXC files are packed");
                const std::vector<std::string>& names = Listing(folder);
                if (std::none_of(names.begin(), names.end(),
                                 [&](const std::string& n) { return NamesEqual(n, entry.name); }))
                    Problem("list.inf names " + shown + ", which is not in " +
                            Printable(folder.string()));
                break;
            }
            case FileEntry::Kind::Ignored:
                break;
            }
        }
    }

    fs::path m_directory;
    std::string m_name;
    ClientVersion m_value;
    std::vector<std::string>& m_problems;
    std::map<std::string, std::vector<std::string>> m_listings;
};

} // namespace

RoadCheck CheckRoad(const std::string& root, const std::string& versionFile, Road road) {
    RoadCheck check;
    std::string bytes, error;
    std::vector<VersionEntry> table;
    if (const RootVersions read = ReadRootVersions(root, versionFile, bytes, table, error);
        read != RootVersions::Read) {
        if (read == RootVersions::NotAsLaunchersRead)
            error += " (a name over " + std::to_string(kMaxVersionNameLength) +
                     " characters, or over " + std::to_string(kMaxVersions) + " versions)";
        check.problems.push_back(error);
        return check;
    }
    const VersionEntry* previous = nullptr;
    for (const VersionEntry& entry : table) {
        ++check.versions;
        const std::string name(TokenString(entry.name));
        ClientVersion value;
        if (!IsPublishableVersionName(name, value)) {
            check.problems.push_back("\"" + Printable(name) +
                                     "\" in the version file is not a version name launchers "
                                     "read alike (three numbers 0 to 255, e.g. 1.02.07)");
            continue;
        }
        if (previous && previous->version.Packed() >= value.Packed())
            check.problems.push_back(name + " is not newer than " +
                                     std::string(TokenString(previous->name)) +
                                     ", listed before it; launchers skip or reinstall versions");
        previous = &entry;
        std::error_code ec;
        const fs::path directory = fs::path(root) / name;
        if (!fs::is_directory(directory, ec)) {
            check.problems.push_back(name + ": no folder " + directory.string());
            continue;
        }
        VersionCheck(directory, name, value, check.problems).Run(road);
    }
    return check;
}

} // namespace tarnvale::tools
