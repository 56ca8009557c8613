// Load generator for tarnvale-connect-server: many launchers at once or at a
// given rate, optionally while connections that never speak are held open.
// Each launcher connects, waits for the Welcome, sends the partition-list request
// and its version report, and waits for the partition list and the answer; its
// answer time runs from the start of the connect to the last byte of the answer.
//
//   bench_connect_load --port N [--launchers N] [--rate PER_SECOND] [--idle N]
//                      [--workers N] [--server-pid PID] [--hold]
//
// Launchers are spread over --workers processes (each process has its own
// open-file limit) and over the source addresses 127.0.0.2 to 127.0.0.251, so
// that tens of thousands of connections neither run out of local ports nor meet
// the server's per-address ceiling.
#include <algorithm>
#include <arpa/inet.h>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <netinet/in.h>
#include <string>
#include <sys/epoll.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

struct Options {
    int port = 0;
    int launchers = 1000;
    double rate = 0; // 0: all at once
    int idle = 0;
    int workers = 2;
    int serverPid = 0;
    // Keep each connection open after its answer, as launchers do, until the
    // server closes it or every launcher of the process has its answer.
    bool hold = false;
};

constexpr std::size_t kAnswerBytes = 4 + 504 + 3; // Welcome, partition list, up to date
const std::uint8_t kRequests[] = {0xC1, 0x03, 0x09, 0xC1, 0x06, 0x04, 1, 0, 0};

// A non-blocking connect from 127.0.0.(2 + n % 250) to the server.
int Open(int port, int n) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return -1;
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_addr.s_addr = htonl(0x7F000002u + static_cast<unsigned>(n % 250));
    ::bind(fd, reinterpret_cast<sockaddr*>(&local), sizeof local);
    sockaddr_in remote{};
    remote.sin_family = AF_INET;
    remote.sin_port = htons(static_cast<std::uint16_t>(port));
    remote.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&remote), sizeof remote) != 0 &&
        errno != EINPROGRESS) {
        ::close(fd);
        return -1;
    }
    return fd;
}

struct Launcher {
    int fd = -1;
    Clock::time_point start;
    std::size_t received = 0;
    bool sent = false;
};

// Runs `count` launchers (numbered from `first`) and writes one answer time in
// microseconds per answered launcher to `out`, -1 for each that failed.
void RunLaunchers(const Options& options, int first, int count, double rate, int out) {
    const int epoll = ::epoll_create1(EPOLL_CLOEXEC);
    std::vector<Launcher> launchers(static_cast<std::size_t>(count));
    std::vector<long> results;
    const Clock::time_point begin = Clock::now();
    int started = 0, finished = 0;
    std::vector<int> held;
    auto finish = [&](Launcher& l, bool ok) {
        const auto us =
            std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - l.start);
        results.push_back(ok ? static_cast<long>(us.count()) : -1);
        if (ok && options.hold) {
            ::epoll_ctl(epoll, EPOLL_CTL_DEL, l.fd, nullptr);
            held.push_back(l.fd);
        } else {
            ::close(l.fd);
        }
        l.fd = -1;
        ++finished;
    };
    while (finished < count) {
        const double due =
            rate > 0 ? std::chrono::duration<double>(Clock::now() - begin).count() * rate : count;
        while (started < count && started < due) {
            Launcher& l = launchers[static_cast<std::size_t>(started)];
            l.start = Clock::now();
            l.fd = Open(options.port, first + started);
            epoll_event event{};
            event.events = EPOLLIN;
            event.data.u32 = static_cast<std::uint32_t>(started++);
            if (l.fd < 0 || ::epoll_ctl(epoll, EPOLL_CTL_ADD, l.fd, &event) != 0)
                finish(l, false);
        }
        epoll_event ready[256];
        const int n = ::epoll_wait(epoll, ready, 256, rate > 0 ? 1 : 100);
        for (int i = 0; i < n; ++i) {
            Launcher& l = launchers[ready[i].data.u32];
            if (l.fd < 0)
                continue;
            std::uint8_t buffer[2048];
            const ssize_t got = ::recv(l.fd, buffer, sizeof buffer, 0);
            if (got <= 0) {
                if (got < 0 && errno == EAGAIN)
                    continue;
                finish(l, false);
                continue;
            }
            l.received += static_cast<std::size_t>(got);
            if (!l.sent && l.received >= 4) {
                l.sent = ::send(l.fd, kRequests, sizeof kRequests, MSG_NOSIGNAL) ==
                         static_cast<ssize_t>(sizeof kRequests);
                if (!l.sent)
                    finish(l, false);
            } else if (l.received >= kAnswerBytes) {
                finish(l, true);
            }
        }
    }
    (void)!::write(out, results.data(), results.size() * sizeof(long));
    for (int fd : held)
        ::close(fd);
    ::close(epoll);
}

// Opens `count` connections that never speak and holds them until killed.
void HoldIdle(const Options& options, int count, int ready) {
    std::vector<int> fds;
    for (int i = 0; i < count; ++i)
        fds.push_back(Open(options.port, 100000 + i));
    std::this_thread::sleep_for(std::chrono::seconds(1)); // let the server accept them all
    const int opened =
        static_cast<int>(std::count_if(fds.begin(), fds.end(), [](int fd) { return fd >= 0; }));
    (void)!::write(ready, &opened, sizeof opened);
    for (;;)
        ::pause();
}

long ResidentKb(int pid) {
    if (pid <= 0)
        return 0;
    FILE* f = std::fopen(("/proc/" + std::to_string(pid) + "/status").c_str(), "r");
    long kb = 0;
    char line[256];
    while (f != nullptr && std::fgets(line, sizeof line, f) != nullptr)
        if (std::sscanf(line, "VmRSS: %ld", &kb) == 1)
            break;
    if (f != nullptr)
        std::fclose(f);
    return kb;
}

bool ParseOptions(int argc, char** argv, Options& o) {
    for (int i = 1; i < argc; ++i) {
        const std::string name = argv[i];
        if (name == "--hold") {
            o.hold = true;
            continue;
        }
        if (i + 1 >= argc)
            return false;
        const double value = std::atof(argv[++i]);
        if (name == "--port")
            o.port = static_cast<int>(value);
        else if (name == "--launchers")
            o.launchers = static_cast<int>(value);
        else if (name == "--rate")
            o.rate = value;
        else if (name == "--idle")
            o.idle = static_cast<int>(value);
        else if (name == "--workers")
            o.workers = std::max(1, static_cast<int>(value));
        else if (name == "--server-pid")
            o.serverPid = static_cast<int>(value);
        else
            return false;
    }
    return o.port > 0;
}

// Starts the process that holds the idle connections; reports the server's
// memory with them in `idleKb`.
pid_t StartIdle(const Options& o, long baseKb, long& idleKb) {
    int ready[2];
    if (::pipe(ready) != 0)
        return -1;
    const pid_t idler = ::fork();
    if (idler == 0)
        HoldIdle(o, o.idle, ready[1]);
    int opened = 0;
    (void)!::read(ready[0], &opened, sizeof opened);
    idleKb = ResidentKb(o.serverPid);
    std::printf("idle connections held: %d; server RSS %ld kB before, %ld kB with them "
                "(%.0f bytes each)\n",
                opened, baseKb, idleKb,
                opened > 0 ? static_cast<double>(idleKb - baseKb) * 1024.0 / opened : 0.0);
    return idler;
}

// Prints the answer times; the exit status says whether every launcher was answered.
int Report(const Options& o, std::vector<long> times, double seconds, long baseKb, long peakKb) {
    const auto failed = std::count(times.begin(), times.end(), -1L);
    times.erase(std::remove(times.begin(), times.end(), -1L), times.end());
    std::sort(times.begin(), times.end());
    auto pct = [&](double p) {
        return times.empty()
                   ? 0.0
                   : static_cast<double>(times[std::min(
                         times.size() - 1,
                         static_cast<std::size_t>(p * static_cast<double>(times.size())))]) /
                         1000.0;
    };
    std::printf("launchers %d (rate %s), answered %zu, failed %ld, in %.2f s\n", o.launchers,
                o.rate > 0 ? (std::to_string(static_cast<int>(o.rate)) + "/s").c_str()
                           : "all at once",
                times.size(), static_cast<long>(failed), seconds);
    std::printf("answer time ms: p50 %.1f  p90 %.1f  p99 %.1f  max %.1f\n", pct(0.5), pct(0.9),
                pct(0.99), times.empty() ? 0.0 : static_cast<double>(times.back()) / 1000.0);
    if (o.serverPid > 0)
        std::printf("server RSS: %ld kB at start, %ld kB at most while answering\n", baseKb,
                    peakKb);
    return failed == 0 ? 0 : 1;
}

} // namespace

int main(int argc, char** argv) {
    Options o;
    if (!ParseOptions(argc, argv, o)) {
        std::fprintf(stderr, "usage: bench_connect_load --port N [--launchers N] [--rate R] "
                             "[--idle N] [--workers N] [--server-pid PID] [--hold]\n");
        return 2;
    }
    const long baseKb = ResidentKb(o.serverPid);
    long idleKb = 0;
    const pid_t idler = o.idle > 0 ? StartIdle(o, baseKb, idleKb) : -1;

    int results[2];
    if (::pipe(results) != 0)
        return 1;
    const Clock::time_point begin = Clock::now();
    std::vector<pid_t> workers;
    for (int w = 0; w < o.workers; ++w) {
        const int count = o.launchers / o.workers + (w < o.launchers % o.workers ? 1 : 0);
        const pid_t pid = ::fork();
        if (pid == 0) {
            ::close(results[0]);
            RunLaunchers(o, w * (o.launchers / o.workers + 1), count, o.rate / o.workers,
                         results[1]);
            std::_Exit(0);
        }
        workers.push_back(pid);
    }
    ::close(results[1]);
    // The server's memory, sampled while the launchers run.
    std::atomic<bool> running{true};
    std::atomic<long> peakKb{0};
    std::thread sampler([&] {
        while (running) {
            peakKb = std::max(peakKb.load(), ResidentKb(o.serverPid));
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    });
    std::vector<long> times;
    for (;;) {
        long chunk[1024];
        const ssize_t n = ::read(results[0], chunk, sizeof chunk);
        if (n <= 0)
            break;
        times.insert(times.end(), chunk, chunk + n / static_cast<ssize_t>(sizeof(long)));
    }
    for (pid_t pid : workers)
        ::waitpid(pid, nullptr, 0);
    running = false;
    sampler.join();
    const double seconds = std::chrono::duration<double>(Clock::now() - begin).count();
    if (idler > 0) {
        ::kill(idler, SIGKILL);
        ::waitpid(idler, nullptr, 0);
    }

    return Report(o, std::move(times), seconds, baseKb, std::max(peakKb.load(), idleKb));
}
