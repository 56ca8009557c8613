#pragma once

#include "msg/MessageBoxRequest.h"
#include "msg/MessageFile.h"

#include <array>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace tarnvale {

// What loading the message table found: the file's status, for tools, and the
// boxes to show the player.
struct MessageTableLoad {
    msg::MessageFileStatus status = msg::MessageFileStatus::Ok;
    std::vector<MessageBoxRequest> boxes;
};

// The message table: every user-visible text that is data rather than program,
// loaded once from "message.wtf" and fetched by numeric identifier.
class VeyMsg {
  public:
    static constexpr int kIndexSize = 32768;
    static constexpr char kDefaultText[] = "Msg error";

    struct MessageRecord {
        int identifier = 0;
        std::string text;
    };

    VeyMsg();
    ~VeyMsg();
    VeyMsg(const VeyMsg&) = delete;
    VeyMsg& operator=(const VeyMsg&) = delete;

    // Reads the table. What went wrong comes back as the "Error" boxes the
    // player is shown, in order, in the developer's code page; the launcher then
    // goes on with whatever was loaded.
    MessageTableLoad Load(const char* fileName);
    // The same from the file's bytes.
    MessageTableLoad LoadFromMemory(std::string_view bytes);
    // Never null; valid until the table is cleared.
    const char* GetText(int id) const;
    void Clear();

    bool IsLoaded() const { return m_bLoaded; }
    const std::vector<std::unique_ptr<MessageRecord>>& Records() const { return m_records; }
    const std::array<std::uint8_t, msg::kHeaderSize>& Header() const { return m_header; }

  private:
    // Adds one record; returns the developer's text of what went wrong, if anything.
    const char* AddRecord(int identifier, const char* text);

    bool m_bLoaded = false; // the list exists (its anchor, in the file's terms)
    std::vector<std::unique_ptr<MessageRecord>> m_records; // file order
    std::unique_ptr<const MessageRecord*[]> m_index;       // slot i: record with identifier i
    std::array<std::uint8_t, msg::kHeaderSize> m_header{};
};

} // namespace tarnvale
