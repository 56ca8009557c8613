#include "update/UpdateServer.h"

#include "platform/Names.h"

#include <algorithm>

namespace tarnvale::updateserver {
namespace {

// The tick count is an unsigned millisecond counter, but the request carries it
// as a signed decimal, so after about 24.8 days of system uptime it turns negative.
std::string TickText(std::uint32_t tick) {
    return std::to_string(static_cast<std::int32_t>(tick));
}

} // namespace

bool EndsWithPackedSuffix(std::string_view name) {
    return name.size() > kPackedSuffixLength &&
           NamesEqual(name.substr(name.size() - kPackedSuffixLength), kPackedSuffix);
}

std::string VersionFileUrl(const char* host, const char* versionFileName, std::uint32_t tick) {
    return std::string("http://") + host + "/" + versionFileName + "?time=" + TickText(tick);
}

std::string VersionItemUrl(const char* host, const char* versionName, const char* item,
                           std::uint32_t tick) {
    return std::string("http://") + host + "/" + versionName + "/" + item +
           "?time=" + TickText(tick);
}

std::string MirroredFolderDirectory(const std::string& versionName, const std::string& folder) {
    std::string directory = "/" + versionName + "/" + folder + "/";
    std::replace(directory.begin(), directory.end(), '\\', '/');
    return directory;
}

} // namespace tarnvale::updateserver
