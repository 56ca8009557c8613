#pragma once

#include "update/ClientVersion.h"

#include <cstdint>
#include <string>

namespace tarnvale::connectserver {

// The newest version in the version file the update server publishes, read from
// where the operator's publishing tool writes it, so that `answer = auto` sends
// launchers to update as soon as a version is published. The file is read again
// whenever its size or modification time changes.
class PublishedVersion {
  public:
    explicit PublishedVersion(std::string path = std::string()) : m_path(std::move(path)) {}

    const std::string& Path() const { return m_path; }
    // Reads the file if it changed since the last look. True when the newest
    // version differs from before; `error` is set (and the last version kept)
    // when the file cannot be read.
    bool Refresh(std::string& error);
    // The newest version published; 0.0.0 until the file was read.
    const ClientVersion& Newest() const { return m_newest; }

  private:
    std::string m_path;
    std::int64_t m_seenTime = -1;
    std::uint64_t m_seenSize = 0;
    ClientVersion m_newest;
};

// Reads the newest version of a version file's text; false when it names none
// or cannot be read as one.
bool NewestInVersionFile(const std::string& bytes, ClientVersion& newest, std::string& error);

} // namespace tarnvale::connectserver
