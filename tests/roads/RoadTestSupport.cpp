#include "RoadTestSupport.h"

#include "msg/MessageFile.h"
#include "platform/CodePage.h"
#include "tarnvale/settings.h"
#include "update/ClientVersion.h"
#include "update/VersionConfig.h"

#include <algorithm>

namespace tarnvale::test {

namespace fs = std::filesystem;

LoopbackServers* RoadTest::s_servers = nullptr;

void RoadTest::SetUpTestSuite() {
    s_servers = new LoopbackServers;
}

void RoadTest::TearDownTestSuite() {
    delete s_servers;
    s_servers = nullptr;
}

void RoadTest::SetUp() {
    TempDirTest::SetUp();
    ASSERT_EQ(s_servers->Problem(), "");
    // The roads look for versions at the server root, so every test starts with
    // an empty one.
    for (const fs::directory_entry& entry : fs::directory_iterator(s_servers->Root()))
        fs::remove_all(entry.path());
    std::vector<msg::MessageFileRecord> texts;
    for (int id : {108, 109, 112, 113, 114, 116, 119, 120, 121, 122,
                   123, 125, 126, 128, 134, 135, 136, 137, 138, 146})
        texts.push_back({static_cast<std::int16_t>(id), "m" + std::to_string(id)});
    launcher.messages.LoadFromMemory(msg::SerializeMessageFile(texts, settings::kMessageKey));
    fs::create_directories("Temp");
    SetLocalVersion("1.00.00");
}

fs::path RoadTest::OnServer(const std::string& relative) const {
    return s_servers->Root() / relative;
}

void RoadTest::Publish(const std::string& name, const VersionFiles& files,
                       const std::function<void(tools::PatchVersion&)>& tweak) {
    tools::PatchVersion version;
    version.root = s_servers->Root().string();
    version.name = name;
    version.source = (s_servers->Root() / ".src" / name).string();
    if (tweak)
        tweak(version);
    VersionFiles all = files;
    const bool hasConfig = std::any_of(all.begin(), all.end(),
                                       [](const auto& file) { return file.first == "config.ini"; });
    if (version.packed && !hasConfig)
        all.emplace_back("config.ini", "[LOGIN]\r\nVersion=" + name + "\r\n");
    for (const auto& [path, bytes] : all) {
        // Names are given as players' lists carry them; operators' files carry
        // them in UTF-8, which the patch builder converts back.
        std::string utf8;
        EXPECT_TRUE(platform::CodePageToUtf8(path, version.codePage, utf8)) << path;
        const fs::path target =
            fs::path(version.source) / fs::path(std::u8string(utf8.begin(), utf8.end()));
        fs::create_directories(target.parent_path());
        WriteFile(target, bytes);
    }
    std::string error;
    bool created = false;
    ASSERT_TRUE(tools::InitServerRoot(version.root, version.versionFile, created, error)) << error;
    ASSERT_TRUE(tools::AddVersion(version, error)) << error;
}

void RoadTest::AppendToList(const std::string& version, const std::string& name) {
    const fs::path list = OnServer(version + "/list.inf");
    WriteFile(list, ReadFile(list) + "\"" + name + "\"\n");
}

void RoadTest::SetLocalVersion(const char* version) {
    WriteFile("config.ini", std::string("[LOGIN]\r\nVersion=") + version + "\r\n");
    update.localVersion = ParseVersionReadForm(version);
}

std::string RoadTest::ConfigVersion(const char* key) const {
    const std::string text = ReadFile("config.ini");
    const std::string marker = std::string(key) + "=";
    std::size_t at = text.find(marker);
    while (at != std::string::npos && at != 0 && text[at - 1] != '\n')
        at = text.find(marker, at + 1);
    if (at == std::string::npos)
        return "";
    const std::size_t from = at + marker.size();
    return text.substr(from, text.find_first_of("\r\n", from) - from);
}

bool RoadTest::RunFtp(UpdateEngine& engine, const char* versionFile) {
    return engine.StartFtpUpdate("127.0.0.1", s_servers->FtpPort(), s_servers->User().c_str(),
                                 s_servers->Password().c_str(), versionFile);
}

std::string RoadTest::HttpAddress() const {
    return "127.0.0.1:" + std::to_string(s_servers->HttpPort());
}

RoadOutcome RoadTest::RunHttp(UpdateEngine& engine, const char* versionFile) {
    engine.StoreHttpServer(HttpAddress().c_str(), 0, "", "", versionFile);
    EXPECT_EQ(engine.StartHttpUpdate(), 1);
    engine.JoinHttpWorker();
    return engine.Outcome();
}

bool RoadTest::Saw(int id) const {
    const std::string text = launcher.Text(id);
    return std::find(window.statusTexts.begin(), window.statusTexts.end(), text) !=
           window.statusTexts.end();
}

UpdateEngineHooks RoadTest::Hooks() {
    UpdateEngineHooks hooks;
    hooks.startAfterSelfUpdate = [this] { ++handOvers; };
    hooks.requestWindowClose = [this] { ++closeRequests; };
    return hooks;
}

} // namespace tarnvale::test
