#include "tools/connectserver/Config.h"

#include "net/ConnectServerProtocol.h"

#include <cstring>

namespace tarnvale::connectserver {

const char* AnswerName(Answer answer) {
    switch (answer) {
    case Answer::UpToDate:
        return "up-to-date";
    case Answer::Http:
        return "http";
    case Answer::Ftp:
        return "ftp";
    case Answer::Auto:
        return "auto";
    }
    return "?";
}

UpdateServerInfo UpdateInfoFor(const Config& config, std::uint8_t type) {
    UpdateServerInfo info = config.update;
    if (type == proto::kHttpUpdateInfo && info.serverPort != 80) {
        const std::string target =
            std::string(info.serverAddress) + ":" + std::to_string(info.serverPort);
        // A target too long for the field is refused when the file is read.
        if (target.size() < sizeof info.serverAddress) {
            std::memset(info.serverAddress, 0, sizeof info.serverAddress);
            std::memcpy(info.serverAddress, target.data(), target.size());
        }
    }
    return info;
}

std::string DescribeUpdateTarget(const Config& config, std::uint8_t type) {
    const UpdateServerInfo info = UpdateInfoFor(config, type);
    if (type == proto::kHttpUpdateInfo)
        return std::string("http://") + info.serverAddress + "/" + info.versionFileName;
    return std::string("ftp://") + info.accountName + "@" + info.serverAddress + ":" +
           std::to_string(info.serverPort) + "/" + info.versionFileName;
}

std::uint8_t ChooseAnswer(const Config& config, std::uint8_t kind, const ClientVersion& version) {
    switch (config.answer) {
    case Answer::UpToDate:
        return proto::kUpToDate;
    case Answer::Http:
        return proto::kHttpUpdateInfo;
    case Answer::Ftp:
        return proto::kFtpUpdateInfo;
    case Answer::Auto:
        if (version.Packed() >= config.currentVersion.Packed())
            return proto::kUpToDate;
        return kind == proto::kReportFtp ? proto::kFtpUpdateInfo : proto::kHttpUpdateInfo;
    }
    return proto::kUpToDate;
}

} // namespace tarnvale::connectserver
