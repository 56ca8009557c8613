#include "options/ConfigKey.h"

#include "msg/MessageIds.h"
#include "msg/VeyMsg.h"
#include "platform/MessageBox.h"

namespace tarnvale::options {

bool OpenConfigKey(platform::RegistryKey& key, const ConfigKeyLocation& where, bool* created) {
    return key.Create(where.root, where.path, created);
}

void ShowConfigKeyError(const VeyMsg& messages, bool ownedByMainWindow) {
    platform::ShowMessageBox(messages.GetText(msgid::kOptionsError),
                             messages.GetText(msgid::kOptionsErrorCaption), platform::kMbIconError,
                             ownedByMainWindow);
}

} // namespace tarnvale::options
