// Downloads against a real HTTP server on loopback (URL monikers under Wine,
// libcurl natively), with and without a length, and the ways they fail.
#include "platform/HttpDownload.h"

#include "support/LoopbackServers.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <random>

namespace tarnvale::platform {
namespace {

namespace fs = std::filesystem;
using test::ReadFile;
using test::WriteFile;

class RecordingProgress : public DownloadProgress {
  public:
    void OnDownloadStart() override { ++starts; }
    bool OnDownloadProgress(std::uint64_t done, std::uint64_t total) override {
        reports.push_back({done, total});
        return abortAfter == 0 || done < abortAfter;
    }
    struct Report {
        std::uint64_t done, total;
    };
    int starts = 0;
    std::vector<Report> reports;
    std::uint64_t abortAfter = 0; // stop once this many bytes have arrived
};

class HttpDownloadTest : public test::TempDirTest {
  protected:
    static void SetUpTestSuite() {
        s_servers = new test::LoopbackServers;
        std::mt19937 random(5);
        s_payload.resize((1u << 20) + 77);
        for (char& c : s_payload)
            c = static_cast<char>(random() & 0xFF);
    }
    static void TearDownTestSuite() {
        delete s_servers;
        s_servers = nullptr;
    }

    void SetUp() override {
        TempDirTest::SetUp();
        ASSERT_EQ(s_servers->Problem(), "");
        m_area = s_servers->NewArea("http");
        WriteFile(s_servers->Root() / m_area / "up_list.zip", s_payload);
    }

    // The road's URL form: host with port, path, and a "time" query.
    std::string Url(const std::string& path) const {
        return "http://127.0.0.1:" + std::to_string(s_servers->HttpPort()) + "/" + path +
               "?time=" + std::to_string(++m_requests);
    }

    static test::LoopbackServers* s_servers;
    static std::string s_payload;
    std::string m_area;
    mutable int m_requests = 0;
};

test::LoopbackServers* HttpDownloadTest::s_servers = nullptr;
std::string HttpDownloadTest::s_payload;

TEST_F(HttpDownloadTest, DownloadsAFileAndReportsItsProgress) {
    fs::create_directory("Temp");
    RecordingProgress progress;
    DownloadError error;
    ASSERT_TRUE(
        DownloadUrlToFile(Url(m_area + "/up_list.zip"), "Temp\\up_list.zip", &progress, &error))
        << error.code << " " << error.text;
    EXPECT_TRUE(ReadFile("Temp/up_list.zip") == s_payload);
    EXPECT_EQ(test::CountStagingFiles("."), 0);

    EXPECT_EQ(progress.starts, 1);
    ASSERT_FALSE(progress.reports.empty());
    std::uint64_t previous = 0;
    for (const auto& report : progress.reports) {
        EXPECT_GE(report.done, previous);
        EXPECT_LE(report.done, s_payload.size());
        EXPECT_EQ(report.total, s_payload.size());
        previous = report.done;
    }
    EXPECT_EQ(progress.reports.back().done, s_payload.size());
}

TEST_F(HttpDownloadTest, DownloadsFromAServerThatSendsNoLength) {
    RecordingProgress progress;
    DownloadError error;
    ASSERT_TRUE(DownloadUrlToFile(Url("nolength/" + m_area + "/up_list.zip"), "list.inf", &progress,
                                  &error))
        << error.code << " " << error.text;
    EXPECT_TRUE(ReadFile("list.inf") == s_payload);
    ASSERT_FALSE(progress.reports.empty());
    for (const auto& report : progress.reports)
        EXPECT_EQ(report.total, 0u); // the receiver can only creep forward
    EXPECT_EQ(progress.reports.back().done, s_payload.size());
}

TEST_F(HttpDownloadTest, FailsOnAMissingFileWithoutLeavingTheErrorPage) {
    WriteFile("version.wvd", "an older copy");
    DownloadError error;
    EXPECT_FALSE(DownloadUrlToFile(Url(m_area + "/version.wvd"), "version.wvd", nullptr, &error));
    EXPECT_NE(error.code, 0);
    EXPECT_EQ(ReadFile("version.wvd"), "an older copy");
    EXPECT_EQ(test::CountStagingFiles("."), 0);

    EXPECT_FALSE(DownloadUrlToFile(Url(m_area + "/1.02.07/list.inf"), "list.inf", nullptr, &error));
    EXPECT_FALSE(fs::exists("list.inf"));
    EXPECT_FALSE(fs::exists("list.inf.part"));
}

// A redirect is followed; a final answer outside 2xx (here a 300 with a page and
// no Location to follow) is not the file, for a whole download or a resumed one.
TEST_F(HttpDownloadTest, FollowsRedirectsButTakesNoOtherAnswerForTheFile) {
    DownloadError error;
    ASSERT_TRUE(
        DownloadUrlToFile(Url("moved/" + m_area + "/up_list.zip"), "moved.zip", nullptr, &error))
        << error.text;
    EXPECT_EQ(ReadFile("moved.zip"), s_payload);

    WriteFile("version.wvd", "an older copy");
    EXPECT_FALSE(
        DownloadUrlToFile(Url("stray/" + m_area + "/up_list.zip"), "version.wvd", nullptr, &error));
    EXPECT_NE(error.text.find("300"), std::string::npos) << error.text;
    EXPECT_EQ(ReadFile("version.wvd"), "an older copy");
    EXPECT_EQ(test::CountStagingFiles("."), 0);

    const std::string partial = s_payload.substr(0, 1000);
    WriteFile("up_list.zip.~tvpart", partial);
    HttpValidator copy;
    copy.etag = "\"some copy\"";
    copy.length = s_payload.size();
    EXPECT_FALSE(DownloadUrlResuming(Url("stray/" + m_area + "/up_list.zip"), "up_list.zip.~tvpart",
                                     copy, nullptr, &error));
    EXPECT_NE(error.text.find("300"), std::string::npos) << error.text;
    EXPECT_EQ(ReadFile("up_list.zip.~tvpart"), partial) << "the page is not added to the partial";
}

// A connection that breaks before the announced length has arrived must not be
// taken for the whole archive.
TEST_F(HttpDownloadTest, FailsWhenTheServerCutsTheTransferShort) {
    WriteFile("up_list.zip", "the previous archive");
    RecordingProgress progress;
    DownloadError error;
    EXPECT_FALSE(
        DownloadUrlToFile(Url("cut/" + m_area + "/up_list.zip"), "up_list.zip", &progress, &error));
    EXPECT_NE(error.code, 0);
    EXPECT_EQ(ReadFile("up_list.zip"), "the previous archive");
    EXPECT_FALSE(fs::exists("up_list.zip.part"));
}

// A server that sends half and then a byte now and then must not hold the road
// for ever: the download fails once a whole stall window was too slow.
TEST_F(HttpDownloadTest, GivesUpABodyThatTrickles) {
    test::ShortTransferLimits limits;
    RecordingProgress progress;
    DownloadError error;
    EXPECT_FALSE(DownloadUrlToFile(Url("slow/" + m_area + "/up_list.zip"), "up_list.zip", &progress,
                                   &error));
    EXPECT_NE(error.code, 0);
    EXPECT_FALSE(error.text.empty());
    EXPECT_FALSE(fs::exists("up_list.zip"));
    ASSERT_FALSE(progress.reports.empty());
    EXPECT_LT(progress.reports.back().done, s_payload.size());
}

TEST_F(HttpDownloadTest, StopsWhenTheReceiverAsksTo) {
    RecordingProgress progress;
    progress.abortAfter = 1;
    DownloadError error;
    EXPECT_FALSE(DownloadUrlToFile(Url(m_area + "/up_list.zip"), "up_list.zip", &progress, &error));
    EXPECT_NE(error.code, 0);
    EXPECT_FALSE(fs::exists("up_list.zip"));
    EXPECT_FALSE(fs::exists("up_list.zip.part"));
    // Nothing more was reported once the receiver had said stop.
    ASSERT_FALSE(progress.reports.empty());
    for (std::size_t i = 0; i + 1 < progress.reports.size(); ++i)
        EXPECT_EQ(progress.reports[i].done, 0u);
    EXPECT_GE(progress.reports.back().done, 1u);
}

TEST_F(HttpDownloadTest, FailsWhenNoServerAnswersOrTheFileCannotBeWritten) {
    DownloadError error;
    EXPECT_FALSE(
        DownloadUrlToFile("http://127.0.0.1:1/version.wvd?time=1", "version.wvd", nullptr, &error));
    EXPECT_NE(error.code, 0);
    EXPECT_FALSE(fs::exists("version.wvd"));

    EXPECT_FALSE(DownloadUrlToFile(Url(m_area + "/up_list.zip"), "NoSuchFolder\\up_list.zip",
                                   nullptr, &error));
    EXPECT_FALSE(fs::exists("NoSuchFolder"));
}

} // namespace
} // namespace tarnvale::platform
