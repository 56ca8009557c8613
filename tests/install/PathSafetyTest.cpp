#include "update/PathSafety.h"

#include <gtest/gtest.h>

#include <string>

namespace tarnvale {
namespace {

TEST(PathSafety, AcceptsNamesInsideTheGameFolder) {
    for (const char* name :
         {"config.ini", "Data\\Item.bmd", "Data/Sub/a.bmd", "Data\\", "Data/Sub/", "a..b", "..a",
          "a..", ".hidden", "My File.txt", "Data\\console\\x", "COM10", "LPT0.txt", "console.dat",
          "nul_file", "\xb5\xc7\xc2\xbc.exe", "\x95|name"}) {
        EXPECT_TRUE(IsSafeGamePath(name)) << name;
    }
}

TEST(PathSafety, RefusesEscapesRootsDrivesAndDevices) {
    for (const char* name : {"",
                             "..",
                             "../x",
                             "..\\x",
                             "Data/../../x",
                             "Data\\..\\..\\x",
                             "Data/..",
                             "/abs",
                             "\\abs",
                             "\\\\server\\share\\x",
                             "C:x",
                             "C:\\x",
                             "c:/x",
                             "Data\\x:stream",
                             "Data/.../x",
                             "Data/.. /x",
                             "Data/. /x",
                             "./x",
                             "Data/./x",
                             "Data//x",
                             "Data\\\\",
                             "NUL",
                             "nul.txt",
                             "Data/CON",
                             "Data\\con.bmd\\x",
                             "aux .bmd",
                             "COM1",
                             "lpt9.dat",
                             "CONIN$",
                             "a\x01"
                             "b",
                             "a\tb",
                             "a*b",
                             "a?b",
                             "a<b",
                             "a>b",
                             "a\"b"}) {
        EXPECT_FALSE(IsSafeGamePath(name)) << name;
    }
    // A zero byte inside a stored name must not cut the check short.
    EXPECT_FALSE(IsSafeGamePath(std::string("ok\0/../../x", 11)));
}

} // namespace
} // namespace tarnvale
