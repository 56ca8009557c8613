#pragma once

#include <cstdint>

namespace tarnvale {

// The two update roads as the connect-server protocol starts them. The text
// arguments arrive descrambled and zero-terminated; the callee copies what it keeps.
class UpdateRoads {
  public:
    virtual ~UpdateRoads() = default;

    // Runs the whole FTP update on the calling (window) thread before returning.
    // False when the update could not start or failed.
    virtual bool StartFtpUpdate(const char* serverAddress, std::uint16_t serverPort,
                                const char* accountName, const char* accountPassword,
                                const char* versionFileName) = 0;
    // Keeps the update server's five fields for the HTTP road.
    virtual void StoreHttpServer(const char* serverAddress, std::uint16_t serverPort,
                                 const char* accountName, const char* accountPassword,
                                 const char* versionFileName) = 0;
    // Starts the HTTP update on its own worker thread.
    virtual bool StartHttpUpdate() = 0;
};

} // namespace tarnvale
