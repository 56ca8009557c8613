#include "launch/GameStart.h"

#include "launch/GameClient.h"

#include "msg/MessageIds.h"
#include "platform/ProgramStart.h"
#include "state/MessageBoxes.h"
#include "tarnvale/settings.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace tarnvale {
namespace {

// The start of every connect line, up to the scrambled address.
const std::string kCommandPrefix =
    std::string(gameclient::kCommandPrefix) + gameclient::kAddressSwitch;
constexpr std::string_view kPortSeparator = gameclient::kPortSwitch;

bool IsPortText(std::string_view text) {
    if (text.empty() || text.size() > 5)
        return false;
    for (const char c : text)
        if (c < '0' || c > '9')
            return false;
    return true;
}

} // namespace

void ReportStartResult(const LauncherState& state, const GameStartHooks& hooks,
                       std::intptr_t result) {
    if (const int id = gameclient::StartResultMessage(result); id != 0 && hooks.showBox)
        hooks.showBox(ErrorBox(state, id));
}

std::string BuildGameCommandLine(std::string_view address, std::string_view portText,
                                 const ParamKey& key) {
    std::string line = kCommandPrefix;
    line += ScrambleParamText(address, key);
    line += kPortSeparator;
    line += ScrambleParamText(portText, key);
    line += gameclient::kCommandSuffix;
    return line;
}

bool DecodeGameCommandLine(std::string_view line, const ParamKey& key, std::string& address,
                           std::string& portText) {
    if (line.substr(0, kCommandPrefix.size()) != std::string_view(kCommandPrefix))
        return false;
    std::string_view rest = line.substr(kCommandPrefix.size());
    if (!rest.empty() && rest.back() == ' ')
        rest.remove_suffix(1);
    // The scrambled address may itself hold " /z"; the separator is the one after
    // which a port text follows, searched from the end.
    for (size_t pos = rest.rfind(kPortSeparator); pos != std::string_view::npos;
         pos = pos == 0 ? std::string_view::npos : rest.rfind(kPortSeparator, pos - 1)) {
        const std::string port = DescrambleParamText(rest.substr(pos + kPortSeparator.size()), key);
        if (IsPortText(port)) {
            address = DescrambleParamText(rest.substr(0, pos), key);
            portText = port;
            return true;
        }
    }
    return false;
}

std::string PrepareGameCommandLine(LauncherState& state) {
    // The entry's address field is 16 bytes from the network and need not hold
    // its terminating zero; the record's field is wider.
    const PartitionEntry& entry = state.ChosenPartition();
    const std::string address = FieldText(entry.address);
    static_assert(sizeof state.gameServerAddress > sizeof entry.address);
    std::memset(state.gameServerAddress, 0, sizeof state.gameServerAddress);
    std::memcpy(state.gameServerAddress, address.data(), address.size());
    std::snprintf(state.gameServerPortText, sizeof state.gameServerPortText, "%d",
                  static_cast<int>(entry.port));
    return BuildGameCommandLine(state.gameServerAddress, state.gameServerPortText, BuildParamKey());
}

GameStartHooks::GameStartHooks()
    : showBox(ShowMessageBox), startProgram(platform::StartProgram),
      endProcess(platform::EndProcess), gameClientExe(settings::kGameClientExe) {}

namespace {
void Call(const std::function<void()>& hook) {
    if (hook)
        hook();
}
} // namespace

void OnConnectButton(LauncherState& state, LauncherWindow& window, UpdateState& update,
                     const GameStartHooks& hooks) {
    if (!window.readyToPlay) {
        // Not ready yet: ask the connect worker for a connection instead.
        Call(hooks.hideConnectButton);
        window.connectPending = true;
        return;
    }
    Call(hooks.playClickSound);
    if (hooks.isConfigPresent && !hooks.isConfigPresent())
        Call(hooks.runOptionsDialog); // whatever the player chose, the start goes on

    const std::string commandLine = PrepareGameCommandLine(state);
    if (update.updateDone)
        Call(hooks.cleanTempFolder);
    if (update.UpdateRunning()) {
        update.RequestStop();
        Call(hooks.closeSocket);
        Call(hooks.closeFtpSession);
        window.ResetToConnect();
    } else {
        Call(hooks.closeSocket);
        Call(hooks.closeFtpSession);
    }

    WriteKeyStamp(hooks.channel);
    ConnectionParameters parameters;
    parameters.address = state.gameServerAddress;
    parameters.port =
        static_cast<std::uint32_t>(std::strtoul(state.gameServerPortText, nullptr, 10));
    if (!WriteConnectionParameters(parameters, hooks.channel)) {
        if (hooks.showBox)
            hooks.showBox(ErrorBox(state, msgid::kCannotStoreParameters));
        if (hooks.closeWindow)
            hooks.closeWindow();
        return;
    }

    ReportStartResult(state, hooks, hooks.startProgram(hooks.gameClientExe, commandLine));
    // The launcher ends whatever the start gave; nothing of the window is cleaned
    // up, and running workers are cut off.
    state.connectWorkerStop = 1;
    hooks.endProcess(0);
}

std::intptr_t StartAfterSelfUpdate(LauncherState& state, const GameStartHooks& hooks) {
    const std::string commandLine = PrepareGameCommandLine(state);
    Call(hooks.closeSocket);
    Call(hooks.closeFtpSession);
    // The hand-over runs on the window thread: the quit request goes to the
    // window's own loop, and only after the start, since the shell's start of a
    // program would take a quit request waiting in its thread's queue as its own.
    ReportStartResult(state, hooks, hooks.startProgram(hooks.gameClientExe, commandLine));
    Call(hooks.postQuitMessage);
    return hooks.closeWindow ? hooks.closeWindow() : 0;
}

} // namespace tarnvale
