#include "tools/PatchBuilder.h"

#include "platform/Files.h"
#include "platform/Names.h"
#include "tools/ArchiveWriter.h"
#include "tools/PublishedVersions.h"
#include "tools/Signing.h"
#include "tools/ToolSupport.h"
#include "update/ConfigIni.h"
#include "update/PackedFile.h"
#include "update/PatchList.h"
#include "update/PathSafety.h"
#include "update/UpdateEngine.h"
#include "update/VersionConfig.h"

#include <algorithm>
#include <map>

namespace tarnvale::tools {
namespace fs = std::filesystem;

namespace {

bool CheckListText(const std::string& text, const std::string& shown, const char* what,
                   bool blanksAllowed, std::string& error) {
    const std::string named = std::string(what) + " \"" + Printable(shown) + "\"";
    if (text.empty() || text.size() > kMaxTokenText) {
        error = named + " must be 1 to " + std::to_string(kMaxTokenText) +
                " bytes long in the players' code page";
        return false;
    }
    for (unsigned char c : text) {
        if (c == '"' || c == 0xFF || c < 0x20 || (!blanksAllowed && c == ' ')) {
            error = named + " holds a character the list cannot carry (quote, control byte" +
                    (blanksAllowed ? ")" : " or blank: the staging journal cannot record it)");
            return false;
        }
    }
    if (!IsSafeGamePath(text)) {
        error = named + " must stay inside the game folder";
        return false;
    }
    return true;
}

// The removals as the list writes them: in the players' code page, "\"-separated.
// A folder's trailing separator is dropped; a file's is refused, since launchers
// delete only files with it and the entry would do nothing.
bool ConvertRemovals(const std::vector<std::string>& paths, bool folders, unsigned codePage,
                     std::vector<std::string>& out, std::string& error) {
    out.clear();
    for (const std::string& path : paths) {
        std::string converted;
        if (!platform::Utf8ToCodePage(path, codePage, converted)) {
            error = "removal \"" + Printable(path) + "\" is not UTF-8 that code page " +
                    std::to_string(codePage) + " can write";
            return false;
        }
        std::replace(converted.begin(), converted.end(), '/', '\\');
        if (!converted.empty() && converted.back() == '\\') {
            if (!folders) {
                const std::string folder = Printable(path.substr(0, path.size() - 1));
                error = "--remove " + Printable(path) +
                        " names a folder, and launchers delete only files with --remove; use "
                        "--remove-dir " +
                        folder + " (it removes the folder once empty, so remove its files too)";
                return false;
            }
            while (converted.size() > 1 && converted.back() == '\\')
                converted.pop_back();
        }
        if (!CheckListText(converted, path, "removal", true, error))
            return false;
        for (std::size_t i = 0; i < out.size(); ++i) {
            if (NamesEqual(out[i], converted)) {
                error = (folders ? "--remove-dir " : "--remove ") + Printable(path) +
                        " is given twice (also as " + Printable(paths[i]) + ")";
                return false;
            }
        }
        out.push_back(converted);
    }
    return true;
}

bool IsBelow(const std::string& listPath, const std::string& folder) {
    return listPath.size() > folder.size() && listPath[folder.size()] == '\\' &&
           NamesEqual(std::string_view(listPath).substr(0, folder.size()), folder);
}

// Launchers delete before they unpack a version: a removal of something the
// version itself brings would do nothing, and a folder it fills is never empty.
bool CheckRemovals(const PatchVersion& version, const SourceTree& tree,
                   const std::vector<std::string>& removeFiles,
                   const std::vector<std::string>& removeFolders, std::string& error) {
    for (std::size_t i = 0; i < removeFiles.size(); ++i) {
        const std::string shown = Printable(version.removeFiles[i]);
        for (const std::string& folder : removeFolders) {
            if (NamesEqual(folder, removeFiles[i])) {
                error = shown + " is given both to --remove and to --remove-dir; keep the one "
                                "that names what it is";
                return false;
            }
        }
        for (const SourceEntry& file : tree.files) {
            if (NamesEqual(file.listPath, removeFiles[i])) {
                error = "--remove " + shown +
                        ": the version ships that file itself, and launchers delete before they "
                        "unpack, so players would keep the shipped copy; drop one of the two";
                return false;
            }
        }
        for (const SourceEntry& folder : tree.folders) {
            if (NamesEqual(folder.listPath, removeFiles[i])) {
                error = "--remove " + shown +
                        " is a folder the version ships; launchers delete "
                        "only files with --remove";
                return false;
            }
        }
    }
    for (std::size_t i = 0; i < removeFolders.size(); ++i) {
        for (const SourceEntry& file : tree.files) {
            if (IsBelow(file.listPath, removeFolders[i]) ||
                NamesEqual(file.listPath, removeFolders[i])) {
                error = "--remove-dir " + Printable(version.removeFolders[i]) +
                        ": the version ships " + Printable(file.shown) +
                        " there, so the folder is not empty and stays";
                return false;
            }
        }
    }
    return true;
}

// Folders are removed in list order, each only when empty: a folder inside
// another goes first, so the deepest go first.
void DeepestFirst(std::vector<std::string>& folders) {
    const auto depth = [](const std::string& path) {
        return std::count(path.begin(), path.end(), '\\');
    };
    std::stable_sort(folders.begin(), folders.end(),
                     [&](const auto& a, const auto& b) { return depth(a) > depth(b); });
}

// Launchers list at most kMaxRemoteListing files of one server folder (list.inf,
// and on a signed server the manifest and its signature, among them in the
// version's own folder); the rest would never be found.
bool CheckServerFolderSizes(const PatchVersion& version, const SourceTree& tree,
                            std::string& error) {
    std::map<std::string, std::size_t> perFolder;
    perFolder[std::string()] = version.signingKey ? 3 : 1;
    for (const SourceEntry& file : tree.files)
        ++perFolder[version.mirror ? ListFolder(file.listPath) : std::string()];
    for (const auto& [folder, count] : perFolder) {
        if (count <= kMaxRemoteListing)
            continue;
        error = (folder.empty() ? std::string("the version's server folder")
                                : "server folder " + Printable(folder)) +
                " would hold " + std::to_string(count) +
                " files (list.inf and any manifest included); launchers "
                "list at most " +
                std::to_string(kMaxRemoteListing) + " files of a folder. " +
                (version.mirror ? std::string("Split the files over two versions.")
                                : std::string("Use --mirror to spread them over the game's "
                                              "folders, or split them over two versions."));
        return false;
    }
    return true;
}

// On a signed server the version's own folder holds its manifest and signature:
// a file of the version may not take either name there.
bool CheckSignatureNamesFree(const PatchVersion& version, const SourceTree& tree,
                             std::string& error) {
    const std::string manifest = trust::kManifestName;
    for (const SourceEntry& file : tree.files) {
        const std::string onServer = (version.mirror ? file.listPath : ListName(file.listPath)) +
                                     (version.compressed ? ".QXC" : "");
        if (NamesEqual(onServer, manifest) ||
            NamesEqual(onServer, manifest + trust::kSignatureSuffix)) {
            error = Printable(file.shown) + " would take the name of the signed manifest (" +
                    onServer + ") in the version's server folder; rename it or use --packed";
            return false;
        }
    }
    return true;
}

// A packed version's config.ini replaces the player's: it must name this version
// in the key launchers record it under, in a form they read.
bool CheckConfigIni(const PatchVersion& version, const ClientVersion& value, const SourceTree& tree,
                    std::string& error) {
    const auto config = std::find_if(tree.files.begin(), tree.files.end(), [](const auto& f) {
        return NamesEqual(f.listPath, kConfigIniName);
    });
    if (config == tree.files.end()) {
        error = "a packed version needs a top-level config.ini: the launcher records the new "
                "version from it";
        return false;
    }
    std::string bytes, why;
    if (!ReadToolFile(config->path, bytes, why)) {
        error = "cannot read " + Printable(config->shown) + ": " + why;
        return false;
    }
    return CheckConfigVersion(bytes, Printable(config->shown), version.testServer, version.name,
                              value, error);
}

// Whether `inner` is `outer` or lies below it, after resolving links and "..".
bool IsInside(const fs::path& inner, const fs::path& outer) {
    std::error_code ec;
    const fs::path a = fs::weakly_canonical(fs::absolute(inner, ec), ec);
    const fs::path b = fs::weakly_canonical(fs::absolute(outer, ec), ec);
    const auto [outerEnd, innerAt] = std::mismatch(b.begin(), b.end(), a.begin(), a.end());
    return outerEnd == b.end() || (outerEnd->empty() && std::next(outerEnd) == b.end());
}

bool CheckSource(const PatchVersion& version, std::string& error) {
    std::error_code ec;
    const fs::file_status status = fs::status(version.source, ec);
    if (status.type() == fs::file_type::not_found) {
        error = "source folder " + version.source + " does not exist";
        return false;
    }
    if (fs::is_regular_file(status)) {
        error = "SOURCE " + version.source +
                " is a file; give the folder that holds the version's files, laid out as in the "
                "game folder";
        return false;
    }
    if (!fs::is_directory(status)) {
        error = "SOURCE " + version.source + " is not a folder";
        return false;
    }
    if (IsInside(version.root, version.source)) {
        error = "ROOT " + version.root + " lies inside SOURCE " + version.source +
                ": the version would publish the server's own files";
        return false;
    }
    return true;
}

bool CheckOptions(const PatchVersion& version, ClientVersion& value, std::string& error) {
    if (!IsPublishableVersionName(version.name, value)) {
        error = "version name \"" + Printable(version.name) +
                "\" is not one launchers accept: three numbers 0 to 255 joined by \".\", at "
                "most " +
                std::to_string(kMaxVersionNameLength) + " characters, e.g. 1.02.07";
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
    return true;
}

// Reads the root's version file; a root without one was never set up.
bool ReadVersionFile(const PatchVersion& version, const fs::path& path, std::string& versions,
                     std::string& error) {
    std::error_code ec;
    if (!fs::is_directory(version.root, ec)) {
        error = "server root " + version.root +
                " does not exist; to start a new update server there, run: tarnvale-patch init " +
                version.root;
        return false;
    }
    if (!fs::exists(fs::symlink_status(path, ec))) {
        error = version.root + " holds no " + version.versionFile +
                ", so it is no update server root yet; to start one there, run: tarnvale-patch "
                "init " +
                version.root;
        return false;
    }
    std::string why;
    if (!ReadToolFile(path, versions, why)) {
        error = "cannot read " + path.string() + ": " + why + "; nothing was changed";
        return false;
    }
    return true;
}

// Packs one file for a compressed file-by-file version as `to` (its list name +
// ".QXC"). The packer names its output after its input and takes paths in the
// system's code page, which need not hold the operator's file name; so the file
// is packed from a copy under a plain name in `scratch`.
bool PackForServer(const SourceEntry& file, const fs::path& scratch, const fs::path& to,
                   std::string& error) {
    const fs::path copy = scratch / "file";
    const std::string folder = scratch.string() + "/";
    std::error_code ec;
    // The copy of the previous file goes first: MinGW's copy_file refuses to
    // overwrite ("File exists") even when asked to.
    fs::remove(copy, ec);
    if (!fs::copy_file(file.path, copy, ec)) {
        error = "cannot read " + Printable(file.shown) + ": " + ec.message();
        return false;
    }
    if (!PackQxcFile(copy.string().c_str(), folder.c_str())) {
        error = "cannot pack " + Printable(file.shown) + " into " + scratch.string() +
                " (is the disk full?)";
        return false;
    }
    fs::rename(platform::NativePath(PackedPathFor(copy.string(), folder)), to, ec);
    if (ec) {
        error = "cannot move the packed " + Printable(file.shown) + " to " + to.string() + ": " +
                ec.message();
        return false;
    }
    return true;
}

fs::path BelowFolder(const fs::path& base, std::string listPath) {
    std::replace(listPath.begin(), listPath.end(), '\\', '/');
    return base / listPath;
}

bool WriteFiles(const PatchVersion& version, const SourceTree& tree, const fs::path& directory,
                const fs::path& scratch, std::string& error) {
    std::error_code ec;
    for (const SourceEntry& file : tree.files) {
        fs::path to =
            BelowFolder(directory, version.mirror ? file.listPath : ListName(file.listPath));
        fs::create_directories(to.parent_path(), ec);
        if (version.compressed) {
            if (!fs::is_directory(scratch) && !fs::create_directories(scratch, ec)) {
                error = "cannot create " + scratch.string() + ": " + ec.message();
                return false;
            }
            to += ".QXC";
            if (!PackForServer(file, scratch, to, error))
                return false;
        } else if (!fs::copy_file(file.path, to, fs::copy_options::overwrite_existing, ec)) {
            error = "cannot copy " + Printable(file.shown) + ": " + ec.message();
            return false;
        }
    }
    return true;
}

} // namespace

std::string MakePatchList(const PatchVersion& version, const SourceTree& tree,
                          const std::vector<std::string>& removeFiles,
                          const std::vector<std::string>& removeFolders) {
    std::string list = "// list.inf of version " + version.name + "\n";
    if (version.testServer)
        list += "#TEST_SERVER#\n";
    if (version.packed) {
        list += "#PACKINGVERSION#\n";
        for (const std::string& path : removeFiles)
            list += "@ \"" + path + "\"\n";
        for (const std::string& path : removeFolders)
            list += "@ 0 \"" + path + "\"\n";
        // The archive's files, for the record; the launcher only looks for itself.
        for (const SourceEntry& file : tree.files)
            list += "\"" + file.listPath + "\"\n";
        return list;
    }
    if (version.compressed)
        list += "#COMPRESSED#\n";
    if (version.mirror)
        list += "#NEWTOOLVERSION#\n";
    const std::string suffix = version.compressed ? ".QXC" : "";
    // Files of the game folder's top level first: a folder entry cannot be left.
    for (const SourceEntry& file : tree.files)
        if (ListFolder(file.listPath).empty())
            list += "\"" + file.listPath + suffix + "\"\n";
    for (const SourceEntry& folder : tree.folders) {
        list += "0 \"" + folder.listPath + "\"\n";
        for (const SourceEntry& file : tree.files)
            if (ListFolder(file.listPath) == folder.listPath)
                list += "\"" + ListName(file.listPath) + suffix + "\"\n";
    }
    return list;
}

bool InitServerRoot(const std::string& root, const std::string& versionFile, bool& created,
                    std::string& error) {
    created = false;
    std::error_code ec;
    if (fs::exists(root, ec) && !fs::is_directory(root, ec)) {
        error = root + " exists and is not a folder";
        return false;
    }
    fs::create_directories(root, ec);
    if (ec) {
        error = "cannot create " + root + ": " + ec.message();
        return false;
    }
    const fs::path path = fs::path(root) / versionFile;
    if (fs::exists(fs::symlink_status(path, ec)))
        return true;
    if (!platform::WriteWholeFile(path.string(), std::string())) {
        error = "cannot write " + path.string();
        return false;
    }
    created = true;
    return true;
}

namespace {

// What AddVersion reads and checks before it writes anything.
struct AddPlan {
    ClientVersion value;
    fs::path versionFile;
    std::string versions; // the version file as it stands
    fs::path directory;   // the version's final folder on the server
    SourceTree tree;
    std::vector<std::string> removeFiles, removeFolders;
};

// The server root's side: a new, higher version, signed like the ones before it,
// whose folder is not there yet.
bool CheckServerRoot(const PatchVersion& version, AddPlan& plan, std::string& error) {
    if (!CheckOptions(version, plan.value, error))
        return false;
    const fs::path root(version.root);
    plan.versionFile = root / version.versionFile;
    if (!ReadVersionFile(version, plan.versionFile, plan.versions, error) ||
        !CheckNewVersion(plan.versions, plan.versionFile.string(), version.name, plan.value, error))
        return false;
    std::error_code ec;
    const fs::path versionSignature(plan.versionFile.string() + trust::kSignatureSuffix);
    if (!version.signingKey && fs::exists(fs::symlink_status(versionSignature, ec))) {
        error = version.root + " is a signed server (" + versionSignature.string() +
                " exists): add the version with --sign KEY, or launchers built with the "
                "operator's key refuse every update";
        return false;
    }
    if (version.signingKey) {
        if (const std::string unsigned_ = FirstUnsignedVersion(version.root, plan.versions);
            !unsigned_.empty()) {
            error = "version " + unsigned_ + " on " + version.root +
                    " has no manifest; sign the published versions first with: tarnvale-patch "
                    "sign " +
                    version.root + " --sign KEY";
            return false;
        }
    }
    plan.directory = root / version.name;
    if (fs::exists(fs::symlink_status(plan.directory, ec))) {
        error = "version directory " + plan.directory.string() + " already exists, though " +
                version.versionFile + " does not name it; remove it first";
        return false;
    }
    return true;
}

// Every file lies in a flat version's one server directory: names must differ.
bool CheckFlatNamesDiffer(const SourceTree& tree, std::string& error) {
    std::map<std::string, std::string> seen;
    for (const SourceEntry& file : tree.files) {
        std::string folded = ListName(file.listPath);
        for (char& c : folded)
            if (c >= 'A' && c <= 'Z')
                c = static_cast<char>(c - 'A' + 'a');
        const auto [it, added] = seen.emplace(folded, file.shown);
        if (!added) {
            error = Printable(file.shown) + " and " + Printable(it->second) +
                    " share a name; use --mirror to keep folders apart on the server";
            return false;
        }
    }
    return true;
}

// The source's side: every name fits the list and the server, every removal is sound.
bool CheckSourceTree(const PatchVersion& version, AddPlan& plan, std::string& error) {
    if (!CheckSource(version, error) ||
        !CollectSourceTree(version.source, version.codePage, plan.tree, error))
        return false;
    const SourceTree& tree = plan.tree;
    if (!ConvertRemovals(version.removeFiles, false, version.codePage, plan.removeFiles, error) ||
        !ConvertRemovals(version.removeFolders, true, version.codePage, plan.removeFolders,
                         error) ||
        !CheckRemovals(version, tree, plan.removeFiles, plan.removeFolders, error))
        return false;
    DeepestFirst(plan.removeFolders);
    for (const SourceEntry& folder : tree.folders)
        if (!CheckListText(folder.listPath, folder.shown, "folder", version.packed, error))
            return false;
    for (const SourceEntry& file : tree.files)
        if (!CheckListText(version.packed
                               ? file.listPath
                               : ListName(file.listPath) + (version.compressed ? ".QXC" : ""),
                           file.shown, "file", version.packed, error))
            return false;
    if (version.packed)
        return CheckConfigIni(version, plan.value, tree, error);
    return (version.mirror || CheckFlatNamesDiffer(tree, error)) &&
           CheckServerFolderSizes(version, tree, error) &&
           (!version.signingKey || CheckSignatureNamesFree(version, tree, error));
}

// Writes the version's folder under a temporary name beside its final one, then
// renames it into place. A leftover of an interrupted run is ours to clear.
bool WriteVersionFolder(const PatchVersion& version, const AddPlan& plan, std::string& error) {
    const fs::path root(version.root);
    const fs::path staging = root / ("." + version.name + ".part");
    const fs::path scratch = root / ("." + version.name + ".qxc.part");
    std::error_code ec;
    fs::remove_all(staging, ec);
    fs::remove_all(scratch, ec);
    auto fail = [&](const std::string& what) {
        error = what;
        fs::remove_all(staging, ec);
        fs::remove_all(scratch, ec);
        return false;
    };
    if (!fs::create_directory(staging, ec))
        return fail("cannot create " + staging.string() + ": " + ec.message());
    if (version.packed) {
        if (!WriteVersionArchive(plan.tree, staging / "up_list.zip", error))
            return fail(error);
    } else if (!WriteFiles(version, plan.tree, staging, scratch, error)) {
        return fail(error);
    }
    fs::remove_all(scratch, ec);
    if (!platform::WriteWholeFile(
            (staging / "list.inf").string(),
            MakePatchList(version, plan.tree, plan.removeFiles, plan.removeFolders)))
        return fail("cannot write list.inf in " + staging.string());
    if (version.signingKey && !SignVersionFolder(staging, version.name, *version.signingKey, error))
        return fail(error);
    fs::rename(staging, plan.directory, ec);
    if (ec)
        return fail("cannot rename " + staging.string() + " to " + plan.directory.string() + ": " +
                    ec.message());
    return true;
}

// Names the new version in the version file (and signs it); on failure the
// version's folder goes again and the old version file stays as it was.
bool PublishVersion(const PatchVersion& version, const AddPlan& plan, std::string& error) {
    std::error_code ec;
    const std::string published = AppendVersion(plan.versions, version.name);
    if (!platform::WriteWholeFile(plan.versionFile.string(), published)) {
        fs::remove_all(plan.directory, ec);
        error = "cannot write " + plan.versionFile.string() + "; the version was not published";
        return false;
    }
    if (version.signingKey &&
        !SignVersionFile(plan.versionFile, published, *version.signingKey, error)) {
        // The old version file still matches its old signature.
        platform::WriteWholeFile(plan.versionFile.string(), plan.versions);
        fs::remove_all(plan.directory, ec);
        error += "; the version was not published";
        return false;
    }
    return true;
}

} // namespace

bool AddVersion(const PatchVersion& version, std::string& error, PublishReport* report) {
    // Everything players depend on is checked before anything is written.
    AddPlan plan;
    if (!CheckServerRoot(version, plan, error) || !CheckSourceTree(version, plan, error) ||
        !WriteVersionFolder(version, plan, error) || !PublishVersion(version, plan, error))
        return false;
    if (report) {
        report->files = plan.tree.files.size();
        report->carriesLauncher =
            std::any_of(plan.tree.files.begin(), plan.tree.files.end(), [&](auto& f) {
                // An archive's launcher counts at its top level only; a file-by-file
                // version's wherever it is.
                return NamesEqual(version.packed ? f.listPath : ListName(f.listPath),
                                  LauncherFileName());
            });
    }
    return true;
}

} // namespace tarnvale::tools
