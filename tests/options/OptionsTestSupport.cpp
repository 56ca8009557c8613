#include "OptionsTestSupport.h"

#include "msg/MessageFile.h"
#include "platform/MessageBox.h"
#include "platform/Registry.h"
#include "tarnvale/settings.h"

namespace tarnvale::test {

void OptionsTest::SetUp() {
    TempRegistryTest::SetUp();
    where.path = KeyPath("Config");
    messages.LoadFromMemory(msg::SerializeMessageFile(
        {{200, "The options could not be saved."}, {201, "Options"}}, settings::kMessageKey));
}

std::optional<std::uint32_t> OptionsTest::Dword(const char* name) const {
    return RawDword(HiveFile(false), where.path, name);
}

std::optional<std::string> OptionsTest::String(const char* name) const {
    return RawString(HiveFile(false), where.path, name);
}

std::string OptionsTest::Stored() const {
    const std::optional<std::string> id = String("ID");
    std::string line = "ID=" + id.value_or("-");
    for (const auto& [label, name] :
         {std::pair{" Sound=", "SoundOnOff"}, std::pair{" Music=", "MusicOnOff"},
          std::pair{" Resolution=", "Resolution"}, std::pair{" Depth=", "ColorDepth"},
          std::pair{" Window=", "WindowMode"}}) {
        const std::optional<std::uint32_t> value = Dword(name);
        line += label + (value ? std::to_string(*value) : "-");
    }
    return line;
}

void OptionsTest::StoreDword(const char* name, std::uint32_t value) const {
    platform::RegistryKey key;
    ASSERT_TRUE(key.Create(where.root, where.path));
    ASSERT_TRUE(key.SetDword(name, value));
}

void OptionsTest::StoreString(const char* name, const std::string& text) const {
    platform::RegistryKey key;
    ASSERT_TRUE(key.Create(where.root, where.path));
    ASSERT_TRUE(key.SetString(name, text.c_str()));
}

bool OptionsTest::ShowedOneKeyErrorBox() const {
    return boxes.Boxes().size() == 1 &&
           boxes.Boxes()[0].text == "The options could not be saved." &&
           boxes.Boxes()[0].caption == "Options" && boxes.Boxes()[0].type == platform::kMbIconError;
}

options::ConfigKeyLocation OptionsTest::BadLocation() const {
    return {where.root, UncreatableKeyPath(KeyPath("Parent"))};
}

} // namespace tarnvale::test
