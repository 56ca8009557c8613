#pragma once

#include "RawRegistry.h"
#include "msg/VeyMsg.h"
#include "options/ConfigKey.h"
#include "support/RegistryFixture.h"

#include <cstdint>
#include <optional>
#include <string>

namespace tarnvale::test {

// A settings key of the test's own, the two texts of the error box, and a recorder
// for the boxes shown.
class OptionsTest : public TempRegistryTest {
  protected:
    void SetUp() override;

    // The stored values, read past our own registry code.
    std::optional<std::uint32_t> Dword(const char* name) const;
    std::optional<std::string> String(const char* name) const;
    // All six values in one line, "ID=player Sound=1 Music=1 Resolution=2 Depth=0
    // Window=0", with "-" for a value that is missing or of another type.
    std::string Stored() const;
    // Stores values through the launcher's registry code, as another writer would.
    void StoreDword(const char* name, std::uint32_t value) const;
    void StoreString(const char* name, const std::string& text) const;
    // True when exactly one error box with texts 200 and 201 was shown.
    bool ShowedOneKeyErrorBox() const;

    // A key that the registry refuses to create (UncreatableKeyPath).
    options::ConfigKeyLocation BadLocation() const;

    options::ConfigKeyLocation where;
    VeyMsg messages;
    MessageBoxRecorder boxes;
};

} // namespace tarnvale::test
