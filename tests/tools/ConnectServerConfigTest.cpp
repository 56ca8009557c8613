// The reference connect server's configuration file and its choice of answer.
#include "net/ConnectServerProtocol.h"
#include "support/TestSupport.h"
#include "tools/connectserver/ConfigReader.h"

namespace tarnvale {
namespace {

using connectserver::Answer;
using connectserver::Config;

TEST(ConnectServerConfig, DocumentedExampleParses) {
    const std::string text =
        test::ReadFile(TARNVALE_SOURCE_DIR "/docs/tarnvale-connect-server.conf");
    ASSERT_FALSE(text.empty());
    Config config;
    std::string error;
    ASSERT_TRUE(connectserver::ParseConfig(text, config, error)) << error;
    EXPECT_EQ(config.port, 44405);
    EXPECT_EQ(config.answer, Answer::Auto);
    EXPECT_EQ(config.currentVersion, (ClientVersion{1, 0, 3}));
    EXPECT_STREQ(config.update.serverAddress, "127.0.0.1");
    EXPECT_EQ(config.update.serverPort, 8080);
    EXPECT_STREQ(config.update.accountPassword, "guest");
    EXPECT_STREQ(config.update.versionFileName, "version.wvd");
    EXPECT_STREQ(config.partitions[1].name, "Tarnvale 2");
    EXPECT_EQ(config.partitions[1].port, 55902);
    EXPECT_STREQ(config.partitions[2].name, "Closed for maintenance");
    EXPECT_EQ(config.partitions[2].port, 0);
    EXPECT_STREQ(config.partitions[3].name, "") << "partitions left out are empty";
}

TEST(ConnectServerConfig, QuotedValuesAndBytes) {
    Config config;
    std::string error;
    ASSERT_TRUE(connectserver::ParseConfig("[server]\nanswer = up-to-date\n"
                                           "[partition 10]\n"
                                           "name = \"  \\xb5\\xc7 \\\"1\\\" \\\\ \"\n"
                                           "address = 1.2.3.4\nport = 65535\n",
                                           config, error))
        << error;
    EXPECT_EQ(std::string(config.partitions[9].name), "  \xb5\xc7 \"1\" \\ ");
    EXPECT_EQ(config.partitions[9].port, 65535);
}

TEST(ConnectServerConfig, MistakesAreReportedWithTheirLine) {
    struct Case {
        const char* text;
        const char* expected; // part of the error
    } cases[] = {
        {"port = 1\n", "line 1: 'port' stands before any section"},
        {"[server]\nanswer = maybe\n", "line 2: answer must be"},
        {"[server]\nport = 65536\n", "line 2: port must be"},
        {"[server]\nport = -1\n", "line 2: port must be"},
        {"[server]\nportt = 1\n", "line 2: unknown key 'portt'"},
        {"[server]\nport = 1\nport = 2\n", "line 3: 'port' is set twice"},
        {"[servers]\n", "line 1: unknown section [servers]"},
        {"[server\n", "line 1: a section header"},
        {"[server]\nnonsense\n", "line 2: expected 'key = value'"},
        {"[partition 0]\n", "line 1: partitions are numbered 1 to 10"},
        {"[partition 11]\n", "partitions are numbered 1 to 10"},
        {"[partition 1]\n[partition 1]\n", "line 2: section [partition 1] appears twice"},
        {"[partition 1]\nname = 12345678901234567890123456789012\n", "name is longer than 31"},
        {"[partition 1]\naddress = 1.2.3\n", "dotted IPv4"},
        {"[partition 1]\naddress = 1.2.3.256\n", "dotted IPv4"},
        {"[partition 1]\naddress = 10.0.0.01\n", "dotted IPv4"},
        {"[server]\nbind = 010.0.0.1\n", "line 2: bind must be a dotted IPv4 address"},
        {"[partition 1]\nport = 5\n", "[partition 1] has a port but no address"},
        {"[update]\naccount = 12345678901234567890\n", "account is longer than 19"},
        {"[update]\nport = 0\n", "port must be a number from 1"},
        {"[server]\nanswer = http\n", "answer = http needs address in [update]"},
        {"[server]\nanswer = ftp\n[update]\naddress = h\nport = 21\n", "needs version_file"},
        {"[server]\nanswer = auto\n", "answer = auto needs current_version"},
        {"[server]\ncurrent_version = 1.2\n", "current_version must be"},
        {"[server]\ncurrent_version = 1.2.300\n", "current_version must be"},
        {"[partition 1]\nname = \"bad \\q\"\n", "unknown escape"},
        {"[server]\nmax_connections = 0\n", "line 2: max_connections must be"},
        {"[server]\nmax_per_address = many\n", "line 2: max_per_address must be"},
        {"[server]\nrequest_deadline = 0\n", "request_deadline must be seconds, more than 0"},
        {"[server]\nrequest_deadline = 1.2345\n", "request_deadline must be"},
        {"[server]\nidle_close = -1\n", "idle_close must be seconds"},
        {"[server]\nidle_close = 86401\n", "idle_close must be seconds"},
        {"[server]\nstatus_interval = 1.\n", "status_interval must be"},
        {"[server]\nproxy_protocol = v2\n", "proxy_protocol must be yes or no"},
        {"[server]\nlog_connections = 1\n", "log_connections must be yes or no"},
    };
    for (const Case& c : cases) {
        Config config;
        std::string error;
        EXPECT_FALSE(connectserver::ParseConfig(c.text, config, error)) << c.text;
        EXPECT_NE(error.find(c.expected), std::string::npos) << c.text << " gave: " << error;
    }
}

TEST(ConnectServerConfig, LimitsHaveGenerousDefaultsAndTakeSeconds) {
    Config config;
    std::string error;
    ASSERT_TRUE(connectserver::ParseConfig("[server]\n", config, error)) << error;
    EXPECT_GE(config.limits.maxConnections, 20000u);
    EXPECT_GE(config.limits.perAddress, 1000u);
    EXPECT_EQ(config.limits.requestDeadlineMs, 5000);
    EXPECT_FALSE(config.limits.proxyProtocol);
    ASSERT_TRUE(connectserver::ParseConfig("[server]\nmax_connections = 50000\n"
                                           "max_per_address = 7\nrequest_deadline = 0.25\n"
                                           "idle_close = 0\nstatus_interval = 2.5\n"
                                           "proxy_protocol = yes\nlog_connections = off\n",
                                           config, error))
        << error;
    EXPECT_EQ(config.limits.maxConnections, 50000u);
    EXPECT_EQ(config.limits.perAddress, 7u);
    EXPECT_EQ(config.limits.requestDeadlineMs, 250);
    EXPECT_EQ(config.limits.idleCloseMs, 0);
    EXPECT_EQ(config.limits.statusIntervalMs, 2500);
    EXPECT_TRUE(config.limits.proxyProtocol);
    EXPECT_FALSE(config.limits.logConnections);
}

TEST(ConnectServerConfig, AutoAnswersByVersionAndRequestedRoad) {
    Config config;
    config.answer = Answer::Auto;
    config.currentVersion = {1, 2, 3};
    EXPECT_EQ(connectserver::ChooseAnswer(config, 4, {1, 2, 3}), proto::kUpToDate);
    EXPECT_EQ(connectserver::ChooseAnswer(config, 4, {2, 0, 0}), proto::kUpToDate);
    EXPECT_EQ(connectserver::ChooseAnswer(config, 4, {1, 2, 2}), proto::kHttpUpdateInfo);
    EXPECT_EQ(connectserver::ChooseAnswer(config, 5, {0, 255, 255}), proto::kFtpUpdateInfo);
    config.answer = Answer::Ftp;
    EXPECT_EQ(connectserver::ChooseAnswer(config, 4, {9, 9, 9}), proto::kFtpUpdateInfo);
}

} // namespace
} // namespace tarnvale
