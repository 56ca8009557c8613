// The launcher reads and writes config.ini with its own code on every platform.
// On Windows the results must be those of the system's profile functions, which
// the game's own tools use on the same file: this compares the two on the same
// files, before and after writes.
#include "update/ConfigIni.h"

#include "support/TestSupport.h"

#include <windows.h>

#include <string>
#include <vector>

namespace tarnvale::ini {
namespace {

struct Probe {
    const char* section;
    const char* key;
};

const Probe kProbes[] = {{"LOGIN", "Version"},     {"LOGIN", "TestVersion"}, {"login", "VERSION"},
                         {" LOGIN ", " Version "}, {"LOGIN", "Extra"},       {"LOGIN", "Missing"},
                         {"OPTION", "Sound"},      {"OPTION", "Version"},    {"Other", "Version"},
                         {"Missing", "Version"},   {"NEW", "Key"},           {"LOGIN]x", "Version"},
                         {" LOGIN ", "Version"},   {"", "Version"},          {"LOGIN", ""}};

std::string Bytes(const char* text) {
    return text;
}
template <std::size_t N> std::string Raw(const char (&text)[N]) {
    return std::string(text, N - 1);
}

struct Case {
    const char* what;
    bool exists;
    std::string contents;
    // The system's writer rewrites the whole file in its own layout. Where that
    // layout changes what other lines mean, the system's file no longer compares
    // with ours after a write; ours must still read alike through both readers.
    bool systemRewriteKeepsMeaning = true;
};

std::vector<Case> Cases() {
    return {
        {"crlf", true, Bytes("[LOGIN]\r\nVersion=1.02.07\r\nTestVersion=1.02.08\r\n")},
        {"lf", true, Bytes("[LOGIN]\nVersion=1.02.07\nTestVersion=1.02.08\n")},
        {"mixed line ends", true, Bytes("[OPTION]\nSound=1\r\n[LOGIN]\r\nVersion=1.2.3\n")},
        {"blanks around =", true,
         Bytes("  [LOGIN]  \n\tVersion \t=\t 1.2.3 \t\nTestVersion   =0.255.255\n")},
        {"comments and other sections", true,
         Bytes("; header\r\n[OPTION]\r\nVersion=9.9.9\r\nSound=1\r\n\r\n; login\r\n[LOGIN]\r\n"
               ";Version=8.8.8\r\nVersion=1.00.00\r\n[Other]\r\nTestVersion=7\r\n")},
        {"missing section", true, Bytes("[OPTION]\r\nSound=1\r\n")},
        {"missing file", false, ""},
        {"empty file", true, ""},
        {"letter case", true, Bytes("[login]\r\nVERSION=2.0.0\r\n")},
        {"duplicates", true,
         Bytes("[LOGIN]\r\nVersion=1\r\nVersion=2\r\n[LOGIN]\r\nTestVersion=3\r\nExtra=4\r\n")},
        {"no = and empty value", true, Bytes("[LOGIN]\r\nVersion\r\nTestVersion=\r\n")},
        {"quotes", true,
         Bytes("[LOGIN]\r\nVersion=\"1.02.07\"\r\nTestVersion='123456789'\r\n"
               "Extra=\"1234567890\"\r\n")},
        {"single quote", true, Bytes("[LOGIN]\r\nVersion=\"\r\nTestVersion=\"\"\r\n")},
        {"long value", true, Bytes("[LOGIN]\r\nVersion=10.20.3456\r\n")},
        {"broken header", true, Bytes("[LOGIN]\r\n[Broken\r\nVersion=1.2.3\r\n")},
        {"bracket in name", true, Bytes("[LOGIN]x]\r\nVersion=1\r\n[LOGIN]\r\nVersion=2\r\n")},
        {"blanks in brackets", true, Bytes("[ LOGIN ]\r\nVersion=1\r\n")},
        {"no final line end", true, Bytes("[LOGIN]\r\nVersion=1.2.3")},
        {"header last", true, Bytes("[OPTION]\r\nSound=1\r\n[LOGIN]")},
        {"bare cr", true, Bytes("[LOGIN]\rVersion=1.2.3\r")},
        {"utf-8 mark", true, Bytes("\xEF\xBB\xBF[LOGIN]\r\nVersion=1.2.3\r\n")},
        {"utf-16 mark", true,
         Raw("\xFF\xFE[\0L\0O\0G\0I\0N\0]\0\r\0\n\0V\0e\0r\0s\0i\0o\0n\0=\0"
             "1\0.\0002\0\r\0\n\0")},
        {"dos end of file", true, Bytes("[LOGIN]\r\n\x1AVersion=1.2.3\x1A\r\n\x1A")},
        {"= in value", true, Bytes("[LOGIN]\r\nVersion==1\r\nTestVersion=a=b\r\n")},
        {"keys before any section", true, Bytes("Version=5\r\n[LOGIN]\r\nTestVersion=6\r\n")},
        {"zero byte", true, Raw("[LOGIN]\r\nVersion=1.2\0.3\r\nTestVersion=4\r\n")},
        // Rewritten without its "[]" header, the section's keys join the lines
        // before the first header.
        {"empty section name", true, Bytes("[]\r\nVersion=1\r\n[LOGIN]\r\nTestVersion=2\r\n"),
         false},
        {"empty key name", true, Bytes("[LOGIN]\r\n=a\r\n = b\r\nVersion=1\r\n")},
    };
}

struct Write {
    const char* section;
    const char* key;
    const char* value;
};

const Write kWrites[] = {
    {"LOGIN", "Version", "1.02.07"},   {"LOGIN", "TestVersion", "0.01.00"},
    {"LOGIN", "Version", "1.02.07"},   {"NEW", "Key", "v"},
    {"LOGIN", "Version", "  2.00.00"},
};

class IniAgreementTest : public test::TempDirTest {
  protected:
    std::string Path(const char* prefix, std::size_t index) {
        return (Dir() / (std::string(prefix) + std::to_string(index) + ".ini")).string();
    }

    static std::string SystemRead(const std::string& path, const Probe& probe, DWORD size) {
        // Drop the system's cached copy, so that it sees what is on disk now.
        ::WritePrivateProfileStringA(nullptr, nullptr, nullptr, path.c_str());
        std::vector<char> buffer(size + 16, '*');
        const DWORD n = ::GetPrivateProfileStringA(probe.section, probe.key, "0.0.0", buffer.data(),
                                                   size, path.c_str());
        return std::string(buffer.data(), n);
    }

    // Every probe through both readers, on the system's file and on ours.
    void ExpectSameReadings(const std::string& systemFile, const std::string& ownFile,
                            const std::string& context, bool compareFiles = true) {
        for (const Probe& probe : kProbes) {
            for (const DWORD size : {10u, 64u}) {
                const std::string where =
                    context + " [" + probe.section + "] " + probe.key + " /" + std::to_string(size);
                const std::string expected = SystemRead(systemFile, probe, size);
                EXPECT_EQ(
                    ReadProfileStringFromFile(systemFile, probe.section, probe.key, "0.0.0", size),
                    expected)
                    << where << " (the system's file)";
                const std::string ownBySystem = SystemRead(ownFile, probe, size);
                EXPECT_EQ(
                    ReadProfileStringFromFile(ownFile, probe.section, probe.key, "0.0.0", size),
                    ownBySystem)
                    << where << " (our file)";
                if (compareFiles) {
                    EXPECT_EQ(ownBySystem, expected) << where << " (our file against theirs)";
                }
            }
        }
    }
};

TEST_F(IniAgreementTest, ReadsAndWritesAgreeWithTheProfileFunctions) {
    const std::vector<Case> cases = Cases();
    for (std::size_t i = 0; i < cases.size(); ++i) {
        const Case& c = cases[i];
        const std::string systemFile = Path("system", i);
        const std::string ownFile = Path("own", i);
        if (c.exists) {
            test::WriteFile(systemFile, c.contents);
            test::WriteFile(ownFile, c.contents);
        }
        ExpectSameReadings(systemFile, ownFile, std::string(c.what) + ", as found:");
        for (const Write& w : kWrites) {
            EXPECT_TRUE(::WritePrivateProfileStringA(w.section, w.key, w.value, systemFile.c_str()))
                << c.what;
            EXPECT_TRUE(WriteProfileStringToFile(ownFile, w.section, w.key, w.value)) << c.what;
            ExpectSameReadings(systemFile, ownFile,
                               std::string(c.what) + ", after " + w.key + "=" + w.value + ":",
                               c.systemRewriteKeepsMeaning);
        }
    }
}

} // namespace
} // namespace tarnvale::ini
