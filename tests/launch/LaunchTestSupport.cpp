#include "LaunchTestSupport.h"

namespace tarnvale::test {

ConnectionChannel RegistryTest::Channel() {
    ConnectionChannel channel;
    channel.keyPath = KeyPath();
    channel.clock = [this] { return now; };
    return channel;
}

} // namespace tarnvale::test
