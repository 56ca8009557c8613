#include "support/RegistryFixture.h"

#include "platform/Registry.h"

#include <cstdlib>
#include <random>

namespace tarnvale::test {

namespace {
void SetEnv(const char* name, const std::string& value) {
#ifdef _WIN32
    _putenv_s(name, value.c_str());
#else
    setenv(name, value.c_str(), 1);
#endif
}
} // namespace

void TempRegistryTest::SetUp() {
    TempDirTest::SetUp();
    std::random_device random;
    m_base = "SOFTWARE\\TarnvaleTests\\" + std::to_string(random());
    if (const char* home = std::getenv("XDG_CONFIG_HOME")) {
        m_hadConfigHome = true;
        m_savedConfigHome = home;
    }
    SetEnv("XDG_CONFIG_HOME", Dir().string());
}

void TempRegistryTest::TearDown() {
    // Subkeys before their parents; the leaves the tests use are known.
    for (const auto root :
         {platform::RegistryRoot::LocalMachine, platform::RegistryRoot::CurrentUser}) {
        for (const char* leaf : {"Connection", "Config", "Parent\\Child", "Parent", "Other"})
            platform::DeleteRegistryKey(root, m_base + "\\" + leaf);
        platform::DeleteRegistryKey(root, m_base);
    }
    if (m_hadConfigHome)
        SetEnv("XDG_CONFIG_HOME", m_savedConfigHome);
    else
#ifdef _WIN32
        _putenv_s("XDG_CONFIG_HOME", "");
#else
        unsetenv("XDG_CONFIG_HOME");
#endif
    TempDirTest::TearDown();
}

std::string TempRegistryTest::KeyPath(const std::string& leaf) const {
    return m_base + "\\" + leaf;
}

std::string TempRegistryTest::HiveFile(bool machine) const {
    return (Dir() / "tarnvale" / (machine ? "machine.reg" : "user.reg")).string();
}

} // namespace tarnvale::test
