// Drives one update road against a running update server and reports where its
// time went, for bench/roads.sh.
//
//   bench_roads http HOST:PORT GAME_DIR
//   bench_roads ftp PORT USER PASSWORD GAME_DIR
//
// GAME_DIR is the game folder (it must hold a config.ini); the road installs
// every version newer than the one recorded there. Output, one "key value" per
// line: total seconds, the seconds spent fetching (HTTP: the archive download
// alone; FTP: from the first file to the last byte of the last one), the bytes
// and files fetched.
#include "msg/MessageFile.h"
#include "msg/MessageIds.h"
#include "platform/Files.h"
#include "state/LauncherState.h"
#include "state/LauncherWindow.h"
#include "tarnvale/settings.h"
#include "update/UpdateEngine.h"
#include "update/VersionConfig.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point from, Clock::time_point to) {
    return std::chrono::duration<double>(to - from).count();
}

// A window without a screen: it notes when the road reaches the steps that
// bound its transfers, and counts what arrived.
class BenchWindow : public tarnvale::LauncherWindow {
  public:
    void SetStatusText(const char* text) override {
        const auto now = Clock::now();
        if (std::strcmp(text, "fetching") == 0 && !sawFetching) {
            sawFetching = true;
            fetchStart = now;
        } else if (std::strcmp(text, "unpacking") == 0) {
            fetchEnd = now;
        }
        lastStatus = text;
    }
    void SetTitleText(const char*) override {}
    void RefreshProgress() override {}
    void FinishUpdate() override { finished = true; }
    void ResetToConnect() override {}
    void ShowProgressView() override {}
    void ShowPartitionView() override {}
    void ShowConnectButton() override {}
    bool PumpMessage() override { return false; }
    void ReportTransfer(unsigned long long done, unsigned long long total) override {
        if (done == total && total != 0) {
            bytes += total;
            ++files;
            lastByte = Clock::now();
        }
    }

    bool sawFetching = false, finished = false;
    Clock::time_point fetchStart, fetchEnd, lastByte;
    unsigned long long bytes = 0, files = 0;
    std::string lastStatus;
};

int Usage() {
    std::fprintf(stderr, "usage: bench_roads http HOST:PORT GAME_DIR\n"
                         "       bench_roads ftp PORT USER PASSWORD GAME_DIR\n");
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    using namespace tarnvale;
    const bool http = argc == 4 && std::strcmp(argv[1], "http") == 0;
    const bool ftp = argc == 6 && std::strcmp(argv[1], "ftp") == 0;
    if (!http && !ftp)
        return Usage();
    if (!platform::ChangeDirectory(argv[argc - 1])) {
        std::fprintf(stderr, "bench_roads: cannot enter %s\n", argv[argc - 1]);
        return 1;
    }
    platform::MakeDirectory("Temp");

    static LauncherState launcher;
    launcher.messages.LoadFromMemory(
        msg::SerializeMessageFile({{msgid::kFetchingFiles, "fetching"},
                                   {msgid::kUnpackingArchive, "unpacking"},
                                   {msgid::kTransferDone, "done"},
                                   {msgid::kUpdateFailed, "failed"}},
                                  settings::kMessageKey));
    UpdateState update;
    ReadLocalVersion(launcher, update, platform::CurrentDirectory());
    BenchWindow window;
    UpdateEngine engine(launcher, update, window);

    const auto start = Clock::now();
    bool ok;
    if (http) {
        engine.StoreHttpServer(argv[2], 0, "", "", "version.wvd");
        engine.StartHttpUpdate();
        engine.JoinHttpWorker();
        ok = engine.Outcome() == RoadOutcome::Finished;
    } else {
        ok = engine.StartFtpUpdate("127.0.0.1", static_cast<std::uint16_t>(std::atoi(argv[2])),
                                   argv[3], argv[4], "version.wvd") &&
             engine.Outcome() == RoadOutcome::Finished;
    }
    const auto end = Clock::now();
    if (!ok || !window.finished) {
        std::fprintf(stderr, "bench_roads: the road failed (last status: %s)\n",
                     window.lastStatus.c_str());
        return 1;
    }
    const auto fetchEnd = http ? window.fetchEnd : window.lastByte;
    std::printf("total %.3f\n", Seconds(start, end));
    std::printf("fetch %.3f\n", Seconds(window.fetchStart, fetchEnd));
    std::printf("after_fetch %.3f\n", Seconds(fetchEnd, end));
    std::printf("bytes %llu\n", window.bytes);
    std::printf("files %llu\n", window.files);
    return 0;
}
