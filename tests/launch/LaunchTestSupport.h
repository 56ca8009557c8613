#pragma once

#include "launch/ConnectionParameters.h"
#include "support/RegistryFixture.h"

#include <cstdint>

namespace tarnvale::test {

// A registry of the test's own (TempRegistryTest) and a connection channel on it.
class RegistryTest : public TempRegistryTest {
  protected:
    // A channel on this test's key with a clock the test sets.
    ConnectionChannel Channel();
    std::uint32_t now = 100000;
};

} // namespace tarnvale::test
