#include "trust/Manifest.h"

#include <set>

namespace tarnvale::trust {

namespace {

// A path below the version's folder: no empty, "." or ".." piece, no leading
// "/", no control byte. Other bytes (those of the players' code page among them)
// are the file's name as the server has it.
bool IsPlainRelativePath(std::string_view path) {
    if (path.empty() || path.size() > kMaxManifestPath)
        return false;
    std::size_t start = 0;
    for (;;) {
        const std::size_t end = path.find('/', start);
        const std::string_view piece = path.substr(
            start, end == std::string_view::npos ? std::string_view::npos : end - start);
        if (piece.empty() || piece == "." || piece == "..")
            return false;
        if (end == std::string_view::npos)
            break;
        start = end + 1;
    }
    for (unsigned char c : path)
        if (c < 0x20 || c == 0x7F)
            return false;
    return true;
}

bool IsVersionName(std::string_view name) {
    if (name.empty() || name.size() > kMaxManifestVersionName)
        return false;
    for (unsigned char c : name)
        if (c <= 0x20 || c >= 0x7F || c == '"' || c == '/' || c == '\\')
            return false;
    return true;
}

// A decimal size without sign or leading zero that fits 64 bits.
bool ParseSize(std::string_view text, std::uint64_t& value) {
    if (text.empty() || text.size() > 20 || (text.size() > 1 && text[0] == '0'))
        return false;
    value = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            return false;
        const auto digit = static_cast<std::uint64_t>(c - '0');
        if (value > (UINT64_MAX - digit) / 10)
            return false;
        value = value * 10 + digit;
    }
    return true;
}

bool ParseEntry(std::string_view line, ManifestEntry& entry) {
    const std::size_t firstBlank = line.find(' ');
    if (firstBlank == std::string_view::npos)
        return false;
    const std::size_t secondBlank = line.find(' ', firstBlank + 1);
    if (secondBlank == std::string_view::npos)
        return false;
    const std::string_view hash = line.substr(firstBlank + 1, secondBlank - firstBlank - 1);
    for (char c : hash)
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f')))
            return false;
    const std::string_view path = line.substr(secondBlank + 1);
    if (!ParseSize(line.substr(0, firstBlank), entry.size) || !FromHex(hash, entry.sha256) ||
        !IsPlainRelativePath(path))
        return false;
    entry.path = std::string(path);
    return true;
}

} // namespace

const ManifestEntry* Manifest::Find(std::string_view path) const {
    for (const ManifestEntry& entry : entries)
        if (entry.path == path)
            return &entry;
    return nullptr;
}

bool ParseManifest(std::string_view text, Manifest& manifest, std::string& error) {
    manifest = {};
    std::set<std::string_view> seen;
    std::size_t lineNumber = 0;
    std::size_t at = 0;
    auto fail = [&](const std::string& why) {
        error = "manifest line " + std::to_string(lineNumber) + ": " + why;
        manifest = {};
        return false;
    };
    if (text.empty()) {
        error = "manifest is empty";
        return false;
    }
    while (at < text.size()) {
        ++lineNumber;
        const std::size_t end = text.find('\n', at);
        if (end == std::string_view::npos)
            return fail("does not end with a line feed");
        const std::string_view line = text.substr(at, end - at);
        at = end + 1;
        if (line.size() > kMaxManifestLine)
            return fail("longer than " + std::to_string(kMaxManifestLine) + " bytes");
        if (lineNumber == 1) {
            const std::string_view tag(kManifestTag);
            if (line.substr(0, tag.size()) != tag || line.size() <= tag.size() ||
                line[tag.size()] != ' ')
                return fail(std::string("does not begin with \"") + kManifestTag + " \"");
            const std::string_view name = line.substr(tag.size() + 1);
            if (!IsVersionName(name))
                return fail("the version name is not one of 1 to " +
                            std::to_string(kMaxManifestVersionName) + " printable characters");
            manifest.version = std::string(name);
            continue;
        }
        if (manifest.entries.size() >= kMaxManifestEntries)
            return fail("more than " + std::to_string(kMaxManifestEntries) + " files");
        ManifestEntry entry;
        if (!ParseEntry(line, entry))
            return fail("not \"SIZE SHA256 PATH\" with a path inside the version's folder");
        if (!seen.insert(line.substr(line.find(' ', line.find(' ') + 1) + 1)).second)
            return fail("names " + entry.path + " twice");
        manifest.entries.push_back(std::move(entry));
    }
    return true;
}

std::string FormatManifest(const Manifest& manifest) {
    std::string text = std::string(kManifestTag) + " " + manifest.version + "\n";
    for (const ManifestEntry& entry : manifest.entries)
        text += std::to_string(entry.size) + " " + ToHex(entry.sha256) + " " + entry.path + "\n";
    return text;
}

} // namespace tarnvale::trust
