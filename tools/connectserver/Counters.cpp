#include "tools/connectserver/Counters.h"

namespace tarnvale::connectserver {

std::string DescribeCounters(const Counters& c, std::size_t connected, std::size_t capacity) {
    const auto n = [](std::uint64_t value) { return std::to_string(value); };
    return "status: " + n(connected) + " connected (at most " + n(capacity) + "), " +
           n(c.accepted) + " accepted; answered " + n(c.partitionLists) + " partition lists, " +
           n(c.upToDate) + " up to date, " + n(c.http) + " HTTP, " + n(c.ftp) + " FTP; closed " +
           n(c.closedByLauncher) + " by the launcher, " + n(c.reset) + " reset, " +
           n(c.closedIdle) + " idle; dropped " + n(c.deadline) + " past the request deadline, " +
           n(c.evicted) + " evicted, " + n(c.badRequest) + " bad requests, " + n(c.notReading) +
           " not reading, " + n(c.badProxyHeader) + " bad PROXY headers, " + n(c.errors) +
           " errors; refused " + n(c.refusedFull) + " when full, " + n(c.refusedPerAddress) +
           " over the per-address ceiling";
}

} // namespace tarnvale::connectserver
