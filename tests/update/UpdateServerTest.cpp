#include "update/UpdateServer.h"

#include <gtest/gtest.h>

namespace tarnvale::updateserver {
namespace {

TEST(UpdateServer, UrlFormsCarryTheTickAsASignedDecimal) {
    EXPECT_EQ(VersionFileUrl("patch.example", "version.wvd", 1234),
              "http://patch.example/version.wvd?time=1234");
    EXPECT_EQ(VersionItemUrl("10.0.0.1:8080", "1.02.07", kPatchListName, 5),
              "http://10.0.0.1:8080/1.02.07/list.inf?time=5");
    EXPECT_EQ(VersionItemUrl("h", "1.02.07", kArchiveName, 0x80000000u),
              "http://h/1.02.07/up_list.zip?time=-2147483648");
    EXPECT_EQ(VersionFileUrl("h", "v", 0xFFFFFFFFu), "http://h/v?time=-1");
}

TEST(UpdateServer, MirroredFoldersUseForwardSlashes) {
    EXPECT_EQ(MirroredFolderDirectory("1.02.07", "Data\\Sub"), "/1.02.07/Data/Sub/");
    EXPECT_EQ(MirroredFolderDirectory("1.02.07", ""), "/1.02.07//");
}

TEST(UpdateServer, PackedNamesNeedSomethingBeforeTheSuffix) {
    EXPECT_TRUE(EndsWithPackedSuffix("Data\\Item.bmd.QXC"));
    EXPECT_TRUE(EndsWithPackedSuffix("a.qxc"));
    EXPECT_FALSE(EndsWithPackedSuffix(".QXC"));
    EXPECT_FALSE(EndsWithPackedSuffix("QXC"));
    EXPECT_FALSE(EndsWithPackedSuffix("Item.bmd"));
}

} // namespace
} // namespace tarnvale::updateserver
