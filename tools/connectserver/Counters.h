#pragma once

#include <cstdint>
#include <string>

namespace tarnvale::connectserver {

// What the server has done since it started, for the operator's status line.
struct Counters {
    std::uint64_t accepted = 0;
    // Answers by kind.
    std::uint64_t partitionLists = 0;
    std::uint64_t upToDate = 0;
    std::uint64_t http = 0;
    std::uint64_t ftp = 0;
    // Connections that ended as they should.
    std::uint64_t closedByLauncher = 0;
    std::uint64_t reset = 0; // by the launcher's side, without an orderly close
    std::uint64_t closedIdle = 0;
    // Connections the server ended, by cause.
    std::uint64_t deadline = 0;
    std::uint64_t evicted = 0;
    std::uint64_t badRequest = 0;
    std::uint64_t notReading = 0;
    std::uint64_t badProxyHeader = 0;
    std::uint64_t errors = 0;
    // Connections refused at once.
    std::uint64_t refusedFull = 0;
    std::uint64_t refusedPerAddress = 0;
};

// One line: "status: 12 connected (most 20000), 30 accepted; answered ...".
std::string DescribeCounters(const Counters& counters, std::size_t connected, std::size_t capacity);

} // namespace tarnvale::connectserver
