// Readiness through the socket layer's poll over every watched socket. The
// Windows build runs the server only inside tests, with a handful of connections.
#include "tools/connectserver/Readiness.h"

#include <unordered_map>

namespace tarnvale::connectserver {
namespace {

class PollReadiness : public Readiness {
  public:
    bool Add(platform::SocketHandle socket) override {
        platform::PollEntry entry;
        entry.socket = socket;
        entry.wantRead = true;
        m_index[socket] = m_entries.size();
        m_entries.push_back(entry);
        return true;
    }
    void WantWrite(platform::SocketHandle socket, bool want) override {
        const auto found = m_index.find(socket);
        if (found != m_index.end())
            m_entries[found->second].wantWrite = want;
    }
    void Remove(platform::SocketHandle socket) override {
        const auto found = m_index.find(socket);
        if (found == m_index.end())
            return;
        const std::size_t index = found->second;
        m_index.erase(found);
        if (index + 1 != m_entries.size()) {
            m_entries[index] = m_entries.back();
            m_index[m_entries[index].socket] = index;
        }
        m_entries.pop_back();
    }
    void Wait(std::vector<Event>& events, int timeoutMs) override {
        events.clear();
        if (platform::SocketPoll(m_entries, timeoutMs) <= 0)
            return;
        for (const platform::PollEntry& entry : m_entries)
            if (entry.readable || entry.writable)
                events.push_back({entry.socket, entry.readable, entry.writable});
    }
    const char* Name() const override { return "poll"; }

  private:
    std::vector<platform::PollEntry> m_entries;
    std::unordered_map<platform::SocketHandle, std::size_t> m_index;
};

} // namespace

std::unique_ptr<Readiness> MakeReadiness() {
    return std::make_unique<PollReadiness>();
}

} // namespace tarnvale::connectserver
