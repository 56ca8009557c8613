#pragma once

#include <string>
#include <utility>

namespace tarnvale {

// How one step of the launcher's work ended. A failure names two things: the
// message the player is shown, by its number in the message table, and what
// went wrong in the platform's words for whoever runs the servers (the URL and
// HTTP status, the FTP server's reply, a file's path and the system's error
// text, an archive entry and its cause). Steps hand the result up unchanged to
// the front end; the Windows window shows only the message, the headless
// launcher prints both.
class [[nodiscard]] StepResult {
  public:
    // Success.
    StepResult() = default;
    // A failure; `message` is a message number (never 0).
    static StepResult Failure(int message, std::string detail) {
        StepResult result;
        result.m_message = message;
        result.m_detail = std::move(detail);
        return result;
    }

    bool Ok() const { return m_message == 0; }
    explicit operator bool() const { return Ok(); }
    // The player's message of a failure; 0 for success.
    int Message() const { return m_message; }
    const std::string& Detail() const { return m_detail; }

  private:
    int m_message = 0;
    std::string m_detail;
};

} // namespace tarnvale
