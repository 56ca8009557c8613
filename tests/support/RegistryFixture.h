#pragma once

#include "support/TestSupport.h"

#include <string>

namespace tarnvale::test {

// A temporary game folder with a registry of its own: on POSIX the hive files go
// into the folder (XDG_CONFIG_HOME points there); on Windows the real registry is
// used, under a key path no other test shares, removed afterwards.
class TempRegistryTest : public TempDirTest {
  protected:
    void SetUp() override;
    void TearDown() override;

    // A key path of this test's own, e.g. "SOFTWARE\TarnvaleTests\123\Connection".
    std::string KeyPath(const std::string& leaf = "Connection") const;
    // The machine-wide and per-user hive files (POSIX only).
    std::string HiveFile(bool machine) const;

  private:
    std::string m_base;
    std::string m_savedConfigHome;
    bool m_hadConfigHome = false;
};

} // namespace tarnvale::test
