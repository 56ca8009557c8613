// The FTP client against a real FTP server on loopback (WinINet under Wine, libcurl
// natively): log-in, directories, listings in both styles, retrieval and chunked
// reading, and how each of them fails.
#include "platform/FtpClient.h"

#include "support/LoopbackServers.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <random>

namespace tarnvale::platform {
namespace {

namespace fs = std::filesystem;
using test::ReadFile;
using test::WriteFile;

std::string RandomBytes(std::size_t size, unsigned seed) {
    std::mt19937 random(seed);
    std::string bytes(size, '\0');
    for (char& c : bytes)
        c = static_cast<char>(random() & 0xFF);
    return bytes;
}

class FtpClientTest : public test::TempDirTest {
  protected:
    static void SetUpTestSuite() { s_servers = new test::LoopbackServers; }
    static void TearDownTestSuite() {
        delete s_servers;
        s_servers = nullptr;
    }

    void SetUp() override {
        TempDirTest::SetUp();
        ASSERT_EQ(s_servers->Problem(), "");
        m_area = s_servers->NewArea("ftp");
    }

    // A file in this test's folder on the server.
    void Put(const std::string& relative, const std::string& bytes) {
        const fs::path path = s_servers->Root() / m_area / relative;
        fs::create_directories(path.parent_path());
        WriteFile(path, bytes);
    }

    // Logs in and enters this test's folder.
    void ConnectInto(FtpClient& ftp, std::uint16_t port = 0) {
        ASSERT_TRUE(ftp.OpenSession("PATCH_FTP_DOWNLOAD"));
        ASSERT_TRUE(ftp.Connect("127.0.0.1", port ? port : s_servers->FtpPort(),
                                s_servers->User().c_str(), s_servers->Password().c_str()))
            << ftp.ErrorCode() << " " << ftp.ErrorText();
        ASSERT_TRUE(ftp.SetRemoteDirectory(m_area)) << ftp.ErrorText();
    }

    // Reads the open file in road-sized chunks; gives up after far more reads than
    // the file can need, so a client that never ends fails instead of hanging.
    FtpRead ReadAll(FtpClient& ftp, std::string& data, std::size_t sizeHint) {
        char buffer[kFtpChunkSize];
        const std::size_t maxReads = sizeHint + 100;
        for (std::size_t i = 0; i < maxReads; ++i) {
            std::size_t got = 0;
            const FtpRead result = ftp.ReadFile(buffer, sizeof buffer, got);
            if (result != FtpRead::Data) {
                EXPECT_EQ(got, 0u);
                return result;
            }
            EXPECT_GT(got, 0u);
            EXPECT_LE(got, sizeof buffer);
            data.append(buffer, got);
        }
        ADD_FAILURE() << "the transfer did not end";
        return FtpRead::Failed;
    }

    static test::LoopbackServers* s_servers;
    std::string m_area;
};

test::LoopbackServers* FtpClientTest::s_servers = nullptr;

TEST_F(FtpClientTest, LogsInAtTheRootAndRefusesBadLogins) {
    FtpClient ftp;
    EXPECT_FALSE(ftp.Connect("127.0.0.1", s_servers->FtpPort(), "a", "b")); // no session yet
    ASSERT_TRUE(ftp.OpenSession("PATCH_FTP_DOWNLOAD"));
    EXPECT_TRUE(ftp.IsSessionOpen());

    EXPECT_FALSE(ftp.Connect("127.0.0.1", s_servers->FtpPort(), s_servers->User().c_str(),
                             "wrong password"));
    EXPECT_NE(ftp.ErrorCode(), 0);
    EXPECT_FALSE(ftp.IsConnected());

    EXPECT_FALSE(ftp.Connect("127.0.0.1", 1, "a", "b")); // nothing listens there
    EXPECT_NE(ftp.ErrorCode(), 0);
#ifndef _WIN32
    {
        // A server that waits for the client to speak first (HTTP) is named as
        // not greeting, not as a bare time-out. WinINet keeps its own wait.
        test::ShortTransferLimits limits;
        EXPECT_FALSE(ftp.Connect("127.0.0.1", s_servers->HttpPort(), "a", "b"));
        EXPECT_NE(ftp.ErrorText().find("no FTP greeting in 1 s"), std::string::npos)
            << ftp.ErrorText();
    }
#endif

    ASSERT_TRUE(ftp.Connect("127.0.0.1", s_servers->FtpPort(), s_servers->User().c_str(),
                            s_servers->Password().c_str()));
    std::string cwd;
    ASSERT_TRUE(ftp.GetRemoteDirectory(cwd));
    EXPECT_EQ(cwd, "/");

    ftp.CloseSession();
    EXPECT_FALSE(ftp.IsConnected());
    EXPECT_FALSE(ftp.IsSessionOpen());
    EXPECT_FALSE(ftp.GetRemoteDirectory(cwd));
}

TEST_F(FtpClientTest, ChangesDirectoryRelativelyAbsolutelyAndNotToMissingOnes) {
    Put("1.02.07/Data/x.txt", "x");
    FtpClient ftp;
    ConnectInto(ftp);
    const std::string area = "/" + m_area;
    std::string cwd;

    ASSERT_TRUE(ftp.SetRemoteDirectory("1.02.07"));
    ASSERT_TRUE(ftp.GetRemoteDirectory(cwd));
    EXPECT_EQ(cwd, area + "/1.02.07");
    ASSERT_TRUE(ftp.SetRemoteDirectory("Data"));
    ASSERT_TRUE(ftp.GetRemoteDirectory(cwd));
    EXPECT_EQ(cwd, area + "/1.02.07/Data");

    EXPECT_FALSE(ftp.SetRemoteDirectory("missing"));
    EXPECT_NE(ftp.ErrorCode(), 0);
    ASSERT_TRUE(ftp.GetRemoteDirectory(cwd));
    EXPECT_EQ(cwd, area + "/1.02.07/Data"); // unchanged by the failure

    ASSERT_TRUE(ftp.SetRemoteDirectory(".."));
    ASSERT_TRUE(ftp.GetRemoteDirectory(cwd));
    EXPECT_EQ(cwd, area + "/1.02.07");
    // How the road enters a subfolder with the newer list layout: from the root.
    ASSERT_TRUE(ftp.SetRemoteDirectory(area + "/1.02.07/Data/"));
    ASSERT_TRUE(ftp.GetRemoteDirectory(cwd));
    EXPECT_EQ(cwd, area + "/1.02.07/Data");
    ASSERT_TRUE(ftp.SetRemoteDirectory("/"));
    ASSERT_TRUE(ftp.GetRemoteDirectory(cwd));
    EXPECT_EQ(cwd, "/");
}

// The same folder through the server with Unix-style and the one with DOS-style
// listings: names, sizes and the directory flag come out alike.
TEST_F(FtpClientTest, ListsFilesAndFoldersInBothListingStyles) {
    Put("a.bin", std::string(3000, 'a'));
    Put("Mixed_Case.TXT", "12345");
    Put("zero.bin", "");
    Put("sub/inner.txt", "not listed");
    Put(".long-name", "x"); // the server adds an entry with a 300-byte name
#ifndef _WIN32
    // Wine's WinINet cuts listed names at their first space; Windows' does not.
    Put("with space.txt", "spaced");
#endif
    for (const std::uint16_t port : {s_servers->FtpPort(), s_servers->FtpDosPort()}) {
        SCOPED_TRACE(port == s_servers->FtpPort() ? "unix listing" : "dos listing");
        FtpClient ftp;
        ConnectInto(ftp, port);
        std::vector<FtpEntry> entries;
        ASSERT_TRUE(ftp.ListDirectory("*.*", entries)) << ftp.ErrorText();
        std::map<std::string, FtpEntry> byName;
        for (const FtpEntry& entry : entries)
            byName[entry.name] = entry;
        ASSERT_EQ(byName.size(), entries.size());
#ifndef _WIN32
        ASSERT_EQ(entries.size(), 5u);
        EXPECT_EQ(byName["with space.txt"].size, 6u);
#else
        ASSERT_EQ(entries.size(), 4u);
#endif
        EXPECT_EQ(byName["a.bin"].size, 3000u);
        EXPECT_FALSE(byName["a.bin"].IsDirectory());
        EXPECT_TRUE(byName["sub"].IsDirectory());
        EXPECT_EQ(byName["Mixed_Case.TXT"].size, 5u);
        EXPECT_EQ(byName.count("zero.bin"), 1u);
        EXPECT_EQ(byName["zero.bin"].size, 0u);
        // Left out whole, not cut down to a slot's size.
        EXPECT_EQ(ftp.SkippedLongNames(), 1u);
    }
}

TEST_F(FtpClientTest, ListsAnEmptyFolderAndMarksReadOnlyFolders) {
    fs::create_directory(s_servers->Root() / m_area / "empty");
    FtpClient ftp;
    ConnectInto(ftp);
    ASSERT_TRUE(ftp.SetRemoteDirectory("empty"));
    std::vector<FtpEntry> entries{FtpEntry{}};
    ASSERT_TRUE(ftp.ListDirectory("*.*", entries)) << ftp.ErrorCode() << " " << ftp.ErrorText();
    EXPECT_TRUE(entries.empty());

#ifndef _WIN32
    // WinINet decides attributes itself (Wine's ignores permissions); here the
    // listing's permissions make a write-protected folder read-only.
    ASSERT_TRUE(ftp.SetRemoteDirectory(".."));
    fs::create_directory(s_servers->Root() / m_area / "locked");
    fs::permissions(s_servers->Root() / m_area / "locked", fs::perms::owner_write,
                    fs::perm_options::remove);
    ASSERT_TRUE(ftp.ListDirectory("*.*", entries));
    ASSERT_EQ(entries.size(), 2u);
    const auto locked = std::find_if(entries.begin(), entries.end(),
                                     [](const FtpEntry& e) { return e.name == "locked"; });
    ASSERT_NE(locked, entries.end());
    EXPECT_EQ(locked->attributes, kFtpAttributeDirectory | kFtpAttributeReadOnly);
#endif
}

TEST_F(FtpClientTest, ReadsALargeFileInChunks) {
    const std::string big = RandomBytes((3u << 20) + 123, 7);
    Put("Data/big.bin", big);
    FtpClient ftp;
    ConnectInto(ftp);
    ASSERT_TRUE(ftp.SetRemoteDirectory("Data"));
    ASSERT_TRUE(ftp.OpenFile("big.bin", big.size())) << ftp.ErrorText();
    EXPECT_TRUE(ftp.IsFileOpen());
    std::string data;
    EXPECT_EQ(ReadAll(ftp, data, big.size()), FtpRead::End);
    EXPECT_TRUE(data == big) << "got " << data.size() << " of " << big.size() << " bytes";
    ftp.CloseFile();
    EXPECT_FALSE(ftp.IsFileOpen());

    // An empty file ends at once.
    Put("Data/zero.bin", "");
    ASSERT_TRUE(ftp.OpenFile("zero.bin", 0)) << ftp.ErrorText();
    data.clear();
    EXPECT_EQ(ReadAll(ftp, data, 0), FtpRead::End);
    EXPECT_TRUE(data.empty());
    ftp.CloseFile();

    // After the transfers the connection serves other requests.
    std::vector<FtpEntry> entries;
    ASSERT_TRUE(ftp.ListDirectory("*.*", entries)) << ftp.ErrorText();
    EXPECT_EQ(entries.size(), 2u);
}

// A server that ends a file early, cleanly or with an error, must not make a short
// file look complete, nor keep the reader waiting for bytes that never come.
TEST_F(FtpClientTest, ReportsTransfersThatEndShortAsFailures) {
    const std::string bytes = RandomBytes(200000, 3);
    Put("short-file.bin", bytes);  // the server stops after half, with "226"
    Put("broken-file.bin", bytes); // the server stops after half, with "426"
    FtpClient ftp;
    ConnectInto(ftp);
    for (const char* name : {"short-file.bin", "broken-file.bin"}) {
        SCOPED_TRACE(name);
        ASSERT_TRUE(ftp.OpenFile(name, bytes.size())) << ftp.ErrorText();
        std::string data;
        EXPECT_EQ(ReadAll(ftp, data, bytes.size()), FtpRead::Failed);
        EXPECT_LT(data.size(), bytes.size());
        EXPECT_NE(ftp.ErrorCode(), 0);
        ftp.CloseFile();
    }
    // The whole of a file still counts when the listing agrees with what arrives.
    Put("whole.bin", bytes);
    ASSERT_TRUE(ftp.OpenFile("whole.bin", bytes.size()));
    std::string data;
    EXPECT_EQ(ReadAll(ftp, data, bytes.size()), FtpRead::End);
    EXPECT_EQ(data.size(), bytes.size());
}

// A transfer that opened and then trickles fails a read, as a time-out: the
// caller must not take it for a file that could not be opened and try again.
TEST_F(FtpClientTest, ATransferThatStallsFailsAReadAsATimeOut) {
    test::ShortTransferLimits limits;
    const std::string bytes = RandomBytes(200000, 5);
    Put("stall-file.bin", bytes); // half at once, then a byte now and then
    FtpClient ftp;
    ConnectInto(ftp);
    ASSERT_TRUE(ftp.OpenFile("stall-file.bin", bytes.size())) << ftp.ErrorText();
    std::string data;
    EXPECT_EQ(ReadAll(ftp, data, bytes.size()), FtpRead::Failed);
    EXPECT_LT(data.size(), bytes.size());
    EXPECT_TRUE(ftp.TimedOut()) << ftp.ErrorText();
    ftp.CloseFile();
}

TEST_F(FtpClientTest, OpensOneFileAtATimeAndSurvivesAbandonedTransfers) {
    const std::string big = RandomBytes(2u << 20, 11);
    Put("big.bin", big);
    Put("small.txt", "small");
    FtpClient ftp;
    ConnectInto(ftp);

    EXPECT_FALSE(ftp.OpenFile("missing.bin", 10));
    EXPECT_NE(ftp.ErrorCode(), 0);
    EXPECT_FALSE(ftp.IsFileOpen());

    ASSERT_TRUE(ftp.OpenFile("big.bin", big.size()));
    char buffer[kFtpChunkSize];
    std::size_t got = 0;
    ASSERT_EQ(ftp.ReadFile(buffer, sizeof buffer, got), FtpRead::Data);
    EXPECT_EQ(std::string(buffer, got), big.substr(0, got));
    // While a file is open the connection does nothing else, as with WinINet.
    std::vector<FtpEntry> entries;
    EXPECT_FALSE(ftp.ListDirectory("*.*", entries));
    EXPECT_FALSE(ftp.OpenFile("small.txt", 5));

    // Abandon the transfer half-way; the connection, and the current directory,
    // serve the next request.
    ftp.CloseFile();
    ASSERT_TRUE(ftp.OpenFile("small.txt", 5)) << ftp.ErrorText();
    std::string small;
    EXPECT_EQ(ReadAll(ftp, small, 5), FtpRead::End);
    EXPECT_EQ(small, "small");
    ftp.CloseFile();
    std::string cwd;
    ASSERT_TRUE(ftp.GetRemoteDirectory(cwd));
    EXPECT_EQ(cwd, "/" + m_area);

    // Closing the connection in the middle of a transfer (the Close button does)
    // ends the transfer; later reads fail instead of touching freed handles.
    ASSERT_TRUE(ftp.OpenFile("big.bin", big.size()));
    ASSERT_EQ(ftp.ReadFile(buffer, sizeof buffer, got), FtpRead::Data);
    ftp.CloseConnection();
    EXPECT_FALSE(ftp.IsFileOpen());
    EXPECT_EQ(ftp.ReadFile(buffer, sizeof buffer, got), FtpRead::Failed);
    EXPECT_FALSE(ftp.SetRemoteDirectory("x"));
    EXPECT_TRUE(ftp.IsSessionOpen());
}

} // namespace
} // namespace tarnvale::platform
