#include "platform/Registry.h"

#include "platform/RegistryHive.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tarnvale::platform {
namespace {

// $XDG_CONFIG_HOME/tarnvale, or ~/.config/tarnvale when the variable is unset or
// not absolute (the base-directory rules ignore relative values).
std::string HiveDirectory() {
    const char* config = std::getenv("XDG_CONFIG_HOME");
    if (config && config[0] == '/')
        return std::string(config) + "/tarnvale";
    const char* home = std::getenv("HOME");
    std::string base;
    if (home && home[0] == '/') {
        base = home;
    } else if (const passwd* user = ::getpwuid(::getuid())) {
        base = user->pw_dir;
    } else {
        base = "/tmp";
    }
    return base + "/.config/tarnvale";
}

std::string HivePath(RegistryRoot root) {
    return HiveDirectory() + (root == RegistryRoot::LocalMachine ? "/machine.reg" : "/user.reg");
}

bool MakeDirectories(const std::string& path) {
    for (size_t slash = path.find('/', 1);; slash = path.find('/', slash + 1)) {
        const std::string part = path.substr(0, slash);
        if (::mkdir(part.c_str(), 0700) != 0 && errno != EEXIST)
            return false;
        if (slash == std::string::npos)
            break;
    }
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// One operation on a hive file under its lock file, so that the launcher, the game
// client and the options dialog never lose one another's changes.
class HiveSession {
  public:
    HiveSession(RegistryRoot root, bool exclusive) : m_path(HivePath(root)) {
        if (!MakeDirectories(HiveDirectory()))
            return;
        m_lock = ::open((m_path + ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
        if (m_lock < 0)
            return;
        int rc;
        do
            rc = ::flock(m_lock, exclusive ? LOCK_EX : LOCK_SH);
        while (rc != 0 && errno == EINTR);
        if (rc != 0)
            return;
        m_ok = Load();
    }
    ~HiveSession() {
        if (m_lock >= 0)
            ::close(m_lock); // releases the lock
    }
    HiveSession(const HiveSession&) = delete;
    HiveSession& operator=(const HiveSession&) = delete;

    // False when the hive could not be locked or its file is unreadable or damaged.
    bool ok() const { return m_ok; }
    hive::Hive& data() { return m_hive; }

    // Writes the hive through a temporary sibling that is flushed and then renamed
    // over the old file, so readers see either the old or the new hive, never a
    // half-written one.
    bool Save() {
        const std::string bytes = hive::Serialize(m_hive);
        const std::string temp = m_path + ".tmp" + std::to_string(::getpid());
        const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
        if (fd < 0)
            return false;
        bool ok = true;
        for (size_t done = 0; ok && done < bytes.size();) {
            const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
            if (n > 0)
                done += static_cast<size_t>(n);
            else if (n < 0 && errno != EINTR)
                ok = false;
        }
        ok = ::fsync(fd) == 0 && ok;
        ok = ::close(fd) == 0 && ok;
        if (ok && ::rename(temp.c_str(), m_path.c_str()) == 0)
            return true;
        ::unlink(temp.c_str());
        return false;
    }

  private:
    bool Load() {
        std::FILE* f = std::fopen(m_path.c_str(), "rb");
        if (!f)
            return errno == ENOENT; // no file yet: an empty hive
        std::string bytes;
        char buffer[16384];
        size_t n;
        while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0)
            bytes.append(buffer, n);
        const bool readOk = !std::ferror(f);
        std::fclose(f);
        std::string error;
        return readOk && hive::Parse(bytes, m_hive, error);
    }

    std::string m_path;
    int m_lock = -1;
    bool m_ok = false;
    hive::Hive m_hive;
};

} // namespace

struct RegistryKey::Impl {
    bool open = false;
    RegistryRoot root = RegistryRoot::CurrentUser;
    std::string path;
};

RegistryKey::RegistryKey() : m_impl(std::make_unique<Impl>()) {}
RegistryKey::~RegistryKey() = default;

bool RegistryKey::Create(RegistryRoot root, const std::string& path, bool* created) {
    Close();
    if (!hive::IsValidPath(path))
        return false;
    HiveSession session(root, true);
    if (!session.ok())
        return false;
    const bool isNew = session.data().FindKey(path) == nullptr;
    if (isNew) {
        session.data().AddKey(path);
        if (!session.Save())
            return false;
    }
    if (created)
        *created = isNew;
    *m_impl = {true, root, path};
    return true;
}

bool RegistryKey::Open(RegistryRoot root, const std::string& path) {
    Close();
    if (!hive::IsValidPath(path))
        return false;
    HiveSession session(root, false);
    if (!session.ok() || !session.data().FindKey(path))
        return false;
    *m_impl = {true, root, path};
    return true;
}

bool RegistryKey::IsOpen() const {
    return m_impl->open;
}

void RegistryKey::Close() {
    m_impl->open = false;
}

namespace {

// A handle whose key was deleted meanwhile writes nothing, as on Windows.
bool StoreValue(RegistryRoot root, const std::string& path, const char* name, std::uint32_t type,
                const std::string& data) {
    HiveSession session(root, true);
    if (!session.ok())
        return false;
    hive::Key* key = session.data().FindKey(path);
    if (!key)
        return false;
    hive::SetValue(*key, name, type, data);
    return session.Save();
}

bool LoadValue(RegistryRoot root, const std::string& path, const char* name, std::uint32_t type,
               std::string& data) {
    HiveSession session(root, false);
    if (!session.ok())
        return false;
    const hive::Key* key = session.data().FindKey(path);
    const hive::Value* value = key ? hive::FindValue(*key, name) : nullptr;
    if (!value || value->type != type)
        return false;
    data = value->data;
    return true;
}

} // namespace

bool RegistryKey::SetString(const char* name, const char* text) {
    return m_impl->open && StoreValue(m_impl->root, m_impl->path, name, kRegSz, text);
}

bool RegistryKey::SetDword(const char* name, std::uint32_t value) {
    const std::string data{static_cast<char>(value & 0xFF), static_cast<char>((value >> 8) & 0xFF),
                           static_cast<char>((value >> 16) & 0xFF), static_cast<char>(value >> 24)};
    return m_impl->open && StoreValue(m_impl->root, m_impl->path, name, kRegDword, data);
}

bool RegistryKey::QueryString(const char* name, std::string& text, std::size_t bufferSize) const {
    std::string data;
    if (!m_impl->open || !LoadValue(m_impl->root, m_impl->path, name, kRegSz, data))
        return false;
    // The stored bytes are the text and its terminating zero.
    if (data.size() + 1 > bufferSize)
        return false;
    text = data.substr(0, data.find('\0'));
    return true;
}

bool RegistryKey::QueryDword(const char* name, std::uint32_t& value) const {
    std::string data;
    if (!m_impl->open || !LoadValue(m_impl->root, m_impl->path, name, kRegDword, data) ||
        data.size() != 4)
        return false;
    value = 0;
    for (int i = 3; i >= 0; --i)
        value = value << 8 | static_cast<unsigned char>(data[static_cast<size_t>(i)]);
    return true;
}

bool DeleteRegistryKey(RegistryRoot root, const std::string& path) {
    if (!hive::IsValidPath(path))
        return false;
    HiveSession session(root, true);
    return session.ok() && session.data().RemoveKey(path) && session.Save();
}

std::string RegistryLocation(RegistryRoot root) {
    return HivePath(root);
}

} // namespace tarnvale::platform
