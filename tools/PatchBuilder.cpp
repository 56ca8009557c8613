#include "tools/PatchBuilder.h"

#include "platform/Files.h"
#include "update/PackedFile.h"
#include "update/PathSafety.h"

#include <zip.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <map>

namespace tarnvale::tools {
namespace fs = std::filesystem;

namespace {

constexpr size_t kMaxTokenText = 103; // what the launcher's list reader holds

std::string Lower(std::string text) {
    for (char& c : text)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

// "a/b" -> "a\b": lists name local paths with the game's separator.
std::string ListPath(const fs::path& relative) {
    std::string text = relative.generic_string();
    std::replace(text.begin(), text.end(), '/', '\\');
    return text;
}

bool CheckListText(const std::string& text, const char* what, bool blanksAllowed,
                   std::string& error) {
    if (text.empty() || text.size() > kMaxTokenText) {
        error = std::string(what) + " \"" + text + "\" must be 1 to 103 bytes long";
        return false;
    }
    for (unsigned char c : text) {
        if (c == '"' || c == 0xFF || c < 0x20 || (!blanksAllowed && c == ' ')) {
            error = std::string(what) + " \"" + text +
                    "\" holds a character the list cannot carry (quote, control byte" +
                    (blanksAllowed ? ")" : " or blank: the staging journal cannot record it)");
            return false;
        }
    }
    if (!IsSafeGamePath(text)) {
        error = std::string(what) + " \"" + text + "\" must stay inside the game folder";
        return false;
    }
    return true;
}

void CollectTree(const fs::path& source, std::vector<std::string>& folders,
                 std::vector<std::string>& files) {
    for (const auto& entry : fs::recursive_directory_iterator(source)) {
        const std::string relative = ListPath(fs::relative(entry.path(), source));
        (entry.is_directory() ? folders : files).push_back(relative);
    }
    // Parents sort before their children; root files come first in lists.
    std::sort(folders.begin(), folders.end());
    std::sort(files.begin(), files.end());
}

// A list path ("a\b") as a path below `base` on this system.
fs::path BelowFolder(const std::string& base, std::string listPath) {
    std::replace(listPath.begin(), listPath.end(), '\\', '/');
    return fs::path(base) / listPath;
}

// Packs one file for a compressed file-by-file version: `to` + ".QXC".
bool PackForServer(const fs::path& from, const fs::path& to, std::string& error) {
    const std::string folder = to.parent_path().string() + "/";
    if (PackQxcFile(from.string().c_str(), folder.c_str()))
        return true;
    error = "cannot pack " + from.string();
    return false;
}

std::string FolderOf(const std::string& path) {
    const size_t slash = path.rfind('\\');
    return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

std::string NameOf(const std::string& path) {
    const size_t slash = path.rfind('\\');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool WriteArchive(const fs::path& source, const std::vector<std::string>& folders,
                  const std::vector<std::string>& files, const fs::path& archive,
                  std::string& error) {
    zipFile zip = zipOpen64(archive.string().c_str(), APPEND_STATUS_CREATE);
    if (!zip) {
        error = "cannot create " + archive.string();
        return false;
    }
    auto add = [&](const std::string& listPath, bool folder) {
        std::string entryName = listPath;
        std::replace(entryName.begin(), entryName.end(), '\\', '/');
        zip_fileinfo info{};
        const fs::path file = BelowFolder(source.string(), listPath);
        const std::time_t now = std::time(nullptr);
        const std::tm* local = std::localtime(&now);
        info.tmz_date.tm_sec = static_cast<uInt>(local->tm_sec);
        info.tmz_date.tm_min = static_cast<uInt>(local->tm_min);
        info.tmz_date.tm_hour = static_cast<uInt>(local->tm_hour);
        info.tmz_date.tm_mday = static_cast<uInt>(local->tm_mday);
        info.tmz_date.tm_mon = static_cast<uInt>(local->tm_mon);
        info.tmz_date.tm_year = static_cast<uInt>(local->tm_year + 1900);
        info.external_fa = folder ? 0x10 : 0x20; // directory or archive attribute
        if (folder)
            entryName += '/';
        if (zipOpenNewFileInZip64(zip, entryName.c_str(), &info, nullptr, 0, nullptr, 0, nullptr,
                                  folder ? 0 : Z_DEFLATED, Z_DEFAULT_COMPRESSION, 1) != ZIP_OK)
            return false;
        bool ok = true;
        if (!folder) {
            std::ifstream in(file, std::ios::binary);
            char buffer[65536];
            while (ok && in) {
                in.read(buffer, sizeof buffer);
                if (in.gcount() > 0)
                    ok = zipWriteInFileInZip(zip, buffer, static_cast<unsigned>(in.gcount())) ==
                         ZIP_OK;
            }
            ok = ok && !in.bad();
        }
        return zipCloseFileInZip(zip) == ZIP_OK && ok;
    };
    bool ok = true;
    for (const std::string& folder : folders)
        ok = ok && add(folder, true);
    for (const std::string& file : files)
        ok = ok && add(file, false);
    ok = (zipClose(zip, nullptr) == ZIP_OK) && ok;
    if (!ok)
        error = "cannot write " + archive.string();
    return ok;
}

} // namespace

std::string MakePatchList(const PatchVersion& version, const std::vector<std::string>& folders,
                          const std::vector<std::string>& files) {
    std::string list = "// list.inf of version " + version.name + "\n";
    if (version.testServer)
        list += "#TEST_SERVER#\n";
    if (version.packed) {
        list += "#PACKINGVERSION#\n";
        for (const std::string& path : version.removeFiles)
            list += "@ \"" + path + "\"\n";
        for (const std::string& path : version.removeFolders)
            list += "@ 0 \"" + path + "\"\n";
        // The archive's files, for the record; the launcher only looks for itself.
        for (const std::string& file : files)
            list += "\"" + file + "\"\n";
        return list;
    }
    if (version.compressed)
        list += "#COMPRESSED#\n";
    if (version.mirror)
        list += "#NEWTOOLVERSION#\n";
    const std::string suffix = version.compressed ? ".QXC" : "";
    // Files of the game folder's top level first: a folder entry cannot be left.
    for (const std::string& file : files)
        if (FolderOf(file).empty())
            list += "\"" + file + suffix + "\"\n";
    for (const std::string& folder : folders) {
        list += "0 \"" + folder + "\"\n";
        for (const std::string& file : files)
            if (FolderOf(file) == folder)
                list += "\"" + NameOf(file) + suffix + "\"\n";
    }
    return list;
}

bool AddVersion(const PatchVersion& version, std::string& error) {
    if (version.name.empty() || version.name.size() > 8 ||
        version.name.find_first_of("\"/\\ ") != std::string::npos) {
        error = "version name \"" + version.name + "\" must be 1 to 8 characters, e.g. 1.02.07";
        return false;
    }
    if (!fs::is_directory(version.source)) {
        error = "source folder " + version.source + " does not exist";
        return false;
    }
    if (!version.packed && (!version.removeFiles.empty() || !version.removeFolders.empty())) {
        error = "removals need --packed: a file-by-file list would fetch them as files";
        return false;
    }
    if (version.packed && (version.compressed || version.mirror)) {
        error = "--compressed and --mirror go with --files";
        return false;
    }
    const fs::path directory = fs::path(version.root) / version.name;
    if (fs::exists(directory)) {
        error = "version directory " + directory.string() + " already exists";
        return false;
    }

    std::vector<std::string> folders, files;
    CollectTree(version.source, folders, files);
    for (const std::string& folder : folders)
        if (!CheckListText(folder, "folder", version.packed, error))
            return false;
    for (const std::string& file : files)
        if (!CheckListText(version.packed ? file
                                          : NameOf(file) + (version.compressed ? ".QXC" : ""),
                           "file", version.packed, error))
            return false;
    for (const auto* removals : {&version.removeFiles, &version.removeFolders})
        for (const std::string& path : *removals)
            if (!CheckListText(path, "removal", true, error))
                return false;

    if (version.packed) {
        if (std::find_if(files.begin(), files.end(), [](const std::string& f) {
                return Lower(f) == "config.ini";
            }) == files.end()) {
            error = "a packed version needs a top-level config.ini: the launcher records the "
                    "new version from it";
            return false;
        }
    } else if (!version.mirror) {
        // Every file lies in the version's one server directory: names must differ.
        std::map<std::string, std::string> seen;
        for (const std::string& file : files) {
            const auto [it, added] = seen.emplace(Lower(NameOf(file)), file);
            if (!added) {
                error = file + " and " + it->second +
                        " share a name; use --mirror to keep folders apart on the server";
                return false;
            }
        }
    }

    std::error_code ec;
    fs::create_directories(directory, ec);
    if (ec) {
        error = "cannot create " + directory.string() + ": " + ec.message();
        return false;
    }
    auto fail = [&](const std::string& what) {
        error = what;
        fs::remove_all(directory, ec);
        return false;
    };

    if (version.packed) {
        if (!WriteArchive(version.source, folders, files, directory / "up_list.zip", error))
            return fail(error);
    } else {
        for (const std::string& file : files) {
            const fs::path from = BelowFolder(version.source, file);
            fs::path to = BelowFolder(directory.string(), version.mirror ? file : NameOf(file));
            fs::create_directories(to.parent_path(), ec);
            if (version.compressed) {
                if (!PackForServer(from, to, error))
                    return fail(error);
            } else if (!fs::copy_file(from, to, fs::copy_options::overwrite_existing, ec)) {
                return fail("cannot copy " + from.string() + ": " + ec.message());
            }
        }
    }
    if (!platform::WriteWholeFile((directory / "list.inf").string(),
                                  MakePatchList(version, folders, files)))
        return fail("cannot write list.inf");

    std::string versions;
    const std::string versionFile = (fs::path(version.root) / version.versionFile).string();
    platform::ReadWholeFile(versionFile, versions);
    if (!versions.empty() && versions.back() != '\n')
        versions += '\n';
    versions += "\"" + version.name + "\"\n";
    if (!platform::WriteWholeFile(versionFile, versions))
        return fail("cannot write " + versionFile);
    return true;
}

} // namespace tarnvale::tools
