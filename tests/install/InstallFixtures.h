#pragma once

#include "platform/Files.h"
#include "support/TestSupport.h"

#include <cstdlib>
#include <string>
#include <vector>

// Fixtures made by make_fixtures.py with the real zip, unzip, bzip2 and Python
// zipfile before the tests run (a ctest fixture step, also for the Windows build,
// whose tests see the same folder through Wine's Z: drive).
namespace tarnvale::test {

inline std::string FixtureDir() {
    const char* dir = std::getenv("TARNVALE_INSTALL_FIXTURES");
    std::string path = dir ? dir : "";
#ifdef _WIN32
    if (!path.empty() && path.front() == '/') {
        for (char& c : path) {
            if (c == '/')
                c = '\\';
        }
        path = "Z:" + path;
    }
#endif
    return path;
}

inline std::string Fixture(const std::string& name) {
    return FixtureDir() + "\\" + name;
}

// Reads a file through the platform layer, so "\" separators and byte names in
// the system's code page work on both systems.
inline std::string Slurp(const std::string& path) {
    std::string bytes;
    EXPECT_TRUE(platform::ReadWholeFile(path, bytes)) << path;
    return bytes;
}

// Writes a file, creating the folders on its path first.
inline void Put(const std::string& path, const std::string& bytes) {
    for (size_t i = 1; i < path.size(); ++i) {
        if ((path[i] == '\\' || path[i] == '/') && path[i - 1] != ':')
            platform::MakeDirectory(path.substr(0, i));
    }
    ASSERT_TRUE(platform::WriteWholeFile(path, bytes)) << path;
}

inline std::string GameFolder() {
    return platform::CurrentDirectory() + "\\";
}

// One line of a reference manifest: what `unzip -o -q` extracted.
struct ReferenceEntry {
    bool isFile = false;
    std::string flatName; // the file's copy in the reference folder
    bool readOnly = false;
    std::string path; // relative, with "\" separators
};

inline std::vector<ReferenceEntry> LoadReference(const std::string& name) {
    std::vector<ReferenceEntry> entries;
    const std::string manifest = Slurp(Fixture("ref-" + name + "\\manifest"));
    size_t start = 0;
    while (start < manifest.size()) {
        size_t end = manifest.find('\n', start);
        if (end == std::string::npos)
            end = manifest.size();
        const std::string line = manifest.substr(start, end - start);
        start = end + 1;
        if (line.empty())
            continue;
        std::vector<std::string> fields;
        size_t from = 0;
        for (int i = 0; i < 3; ++i) {
            const size_t tab = line.find('\t', from);
            fields.push_back(line.substr(from, tab - from));
            from = tab + 1;
        }
        ReferenceEntry entry;
        entry.isFile = fields[0] == "F";
        entry.flatName = fields[1];
        entry.readOnly = fields[2] == "ro";
        entry.path = line.substr(from);
        for (char& c : entry.path) {
            if (c == '/')
                c = '\\';
        }
        entries.push_back(entry);
    }
    return entries;
}

} // namespace tarnvale::test
