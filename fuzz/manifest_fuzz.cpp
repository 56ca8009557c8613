// Reads arbitrary bytes as a version's manifest, as launchers built with the
// operator's key read what the server sends. A manifest that is read must come
// back unchanged through its text form and keep every promise of the reader.
#include "trust/Manifest.h"

#include <cstddef>
#include <cstdint>
#include <set>
#include <string>

namespace {

void Check(bool condition) {
    if (!condition)
        __builtin_trap();
}

// No piece of the path is empty, "." or "..": it names a file inside the
// version's folder.
bool StaysInside(const std::string& path) {
    std::size_t start = 0;
    for (;;) {
        const std::size_t end = path.find('/', start);
        const std::string piece = path.substr(start, end == std::string::npos ? end : end - start);
        if (piece.empty() || piece == "." || piece == "..")
            return false;
        if (end == std::string::npos)
            return true;
        start = end + 1;
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    tarnvale::trust::Manifest manifest;
    std::string error;
    if (!tarnvale::trust::ParseManifest(text, manifest, error)) {
        Check(!error.empty() && manifest.entries.empty() && manifest.version.empty());
        return 0;
    }
    Check(!manifest.version.empty() &&
          manifest.version.size() <= tarnvale::trust::kMaxManifestVersionName);
    Check(manifest.entries.size() <= tarnvale::trust::kMaxManifestEntries);
    std::set<std::string> paths;
    for (const tarnvale::trust::ManifestEntry& entry : manifest.entries) {
        Check(!entry.path.empty() && entry.path.size() <= tarnvale::trust::kMaxManifestPath);
        Check(StaysInside(entry.path));
        Check(paths.insert(entry.path).second);
        Check(manifest.Find(entry.path) == &entry);
    }
    // The text a manifest is written as is the text it was read from.
    Check(tarnvale::trust::FormatManifest(manifest) == text);
    return 0;
}
