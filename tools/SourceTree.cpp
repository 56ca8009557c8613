#include "tools/SourceTree.h"

#include "platform/CodePage.h"
#include "tools/ToolSupport.h"

#include <algorithm>
#include <map>

namespace tarnvale::tools {
namespace fs = std::filesystem;

namespace {

std::string Utf8Name(const fs::path& path) {
    const std::u8string name = path.filename().u8string();
    return std::string(name.begin(), name.end());
}

std::string FoldCase(std::string text) {
    for (char& c : text)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return text;
}

class Walker {
  public:
    Walker(unsigned codePage, SourceTree& tree, std::string& error)
        : m_codePage(codePage), m_tree(tree), m_error(error) {}

    // `shown` and `listPath` name `folder` itself; both are empty for the source.
    bool Walk(const fs::path& folder, const std::string& shown, const std::string& listPath) {
        std::vector<fs::path> children;
        std::error_code ec;
        fs::directory_iterator it(folder, ec);
        for (; !ec && it != fs::directory_iterator(); it.increment(ec))
            children.push_back(it->path());
        if (ec)
            return Fail(shown.empty() ? folder.string() : shown, "cannot be read: " + ec.message());
        const std::string shownPrefix = shown.empty() ? shown : shown + "/";
        const std::string listPrefix = listPath.empty() ? listPath : listPath + "\\";

        std::map<std::string, std::string> seen; // folded list name -> shown name
        for (const fs::path& child : children) {
            const std::string name = Utf8Name(child);
            const std::string childShown = shownPrefix + name;
            std::string listName;
            if (!platform::Utf8ToCodePage(name, m_codePage, listName))
                return Fail(childShown, "has a name that is not UTF-8 or that code page " +
                                            std::to_string(m_codePage) +
                                            " (the players') cannot write; rename it");
            // Launchers split paths at every "\" byte, also where one is the second
            // byte of a double-byte character.
            if (listName.find('\\') != std::string::npos)
                return Fail(childShown, "has a character whose code page " +
                                            std::to_string(m_codePage) +
                                            " form holds the byte of \"\\\", which players' "
                                            "launchers read as a folder separator; rename it");
            if (const auto [at, added] = seen.emplace(FoldCase(listName), childShown); !added)
                return Fail(childShown, "and " + Printable(at->second) +
                                            " differ only in letter case; players' folders cannot "
                                            "hold both");
            const SourceEntry entry{child, childShown, listPrefix + listName};
            const fs::file_status link = fs::symlink_status(child, ec);
            const fs::file_status target = fs::status(child, ec);
            if (fs::is_symlink(link) && !fs::exists(target))
                return Fail(childShown, "is a broken symbolic link");
            if (fs::is_directory(target)) {
                if (fs::is_symlink(link))
                    return Fail(childShown, "is a symbolic link to a folder; copy the folder in");
                m_tree.folders.push_back(entry);
                if (!Walk(child, childShown, entry.listPath))
                    return false;
            } else if (fs::is_regular_file(target)) {
                if (const std::string why = WhyUnreadable(child); !why.empty())
                    return Fail(childShown, "cannot be read: " + why);
                m_tree.files.push_back(entry);
            } else {
                return Fail(childShown, "is not a regular file (a FIFO, socket or device); only "
                                        "files and folders can be published");
            }
        }
        return true;
    }

  private:
    bool Fail(const std::string& shown, const std::string& why) {
        m_error = Printable(shown) + " " + why;
        return false;
    }

    unsigned m_codePage;
    SourceTree& m_tree;
    std::string& m_error;
};

} // namespace

bool CollectSourceTree(const fs::path& source, unsigned codePage, SourceTree& tree,
                       std::string& error) {
    tree = SourceTree{};
    if (!Walker(codePage, tree, error).Walk(source, std::string(), std::string()))
        return false;
    // Parents sort before their children; lists put top-level files first.
    const auto byListPath = [](const SourceEntry& a, const SourceEntry& b) {
        return a.listPath < b.listPath;
    };
    std::sort(tree.folders.begin(), tree.folders.end(), byListPath);
    std::sort(tree.files.begin(), tree.files.end(), byListPath);
    return true;
}

std::string ListName(const std::string& listPath) {
    const std::size_t slash = listPath.rfind('\\');
    return slash == std::string::npos ? listPath : listPath.substr(slash + 1);
}

std::string ListFolder(const std::string& listPath) {
    const std::size_t slash = listPath.rfind('\\');
    return slash == std::string::npos ? std::string() : listPath.substr(0, slash);
}

} // namespace tarnvale::tools
