#pragma once

#include "msg/MessageBoxRequest.h"

#include <optional>
#include <string>
#include <utility>

namespace tarnvale {

// How one step of the launcher's work ended. A failure names two things: the
// message the player is shown, by its number in the message table, and what
// went wrong in the platform's words for whoever runs the servers (the URL and
// HTTP status, the FTP server's reply, a file's path and the system's error
// text, an archive entry and its cause). A failure that the player must confirm
// also carries its message box, which the layer below the front end does not
// show itself. Steps hand the result up unchanged to the front end; the Windows
// window shows only the message (and the box), the headless launcher prints all.
//
// A result tests true when the step succeeded: `if (!result)` reads "if the
// step failed".
class [[nodiscard]] StepResult {
  public:
    // Success.
    StepResult() = default;
    static StepResult Success() { return {}; }
    // A failure; `message` is a message number (never 0).
    static StepResult Failure(int message, std::string detail) {
        StepResult result;
        result.m_message = message;
        result.m_detail = std::move(detail);
        return result;
    }
    // A failure that the player is shown in `box`.
    static StepResult FailureWithBox(int message, std::string detail, MessageBoxRequest box) {
        StepResult result = Failure(message, std::move(detail));
        result.m_box = std::move(box);
        return result;
    }

    bool Succeeded() const { return m_message == 0; }
    bool Failed() const { return m_message != 0; }
    explicit operator bool() const { return Succeeded(); }
    // The player's message of a failure; 0 for success.
    int Message() const { return m_message; }
    const std::string& Detail() const { return m_detail; }
    // The box the player must confirm, if the failure has one.
    const std::optional<MessageBoxRequest>& Box() const { return m_box; }

  private:
    int m_message = 0;
    std::string m_detail;
    std::optional<MessageBoxRequest> m_box;
};

} // namespace tarnvale
