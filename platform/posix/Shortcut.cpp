#include "platform/Shortcut.h"

#include "platform/Files.h"

#include <cstdlib>
#include <sstream>

namespace tarnvale::platform {
namespace {

// Values of a desktop entry escape their backslashes and line breaks.
std::string EscapeValue(const std::string& value) {
    std::string escaped;
    for (const char c : value) {
        if (c == '\\')
            escaped += "\\\\";
        else if (c == '\n')
            escaped += "\\n";
        else
            escaped += c;
    }
    return escaped;
}

std::string UnescapeValue(const std::string& value) {
    std::string plain;
    for (size_t i = 0; i < value.size(); ++i) {
        if (value[i] == '\\' && i + 1 < value.size()) {
            ++i;
            plain += value[i] == 'n' ? '\n' : value[i];
        } else {
            plain += value[i];
        }
    }
    return plain;
}

// The Exec key quotes its program; inside the quotes '"', '`', '$' and '\' are
// escaped with a backslash (before the value's own escaping).
std::string QuoteExec(const std::string& program) {
    std::string quoted = "\"";
    for (const char c : program) {
        if (c == '"' || c == '`' || c == '$' || c == '\\')
            quoted += '\\';
        quoted += c;
    }
    return quoted + "\"";
}

std::string UnquoteExec(const std::string& exec) {
    if (exec.size() < 2 || exec.front() != '"' || exec.back() != '"')
        return exec;
    std::string program;
    for (size_t i = 1; i + 1 < exec.size(); ++i) {
        if (exec[i] == '\\' && i + 2 < exec.size())
            ++i;
        program += exec[i];
    }
    return program;
}

std::string BaseName(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    const size_t dot = name.rfind(".desktop");
    if (dot != std::string::npos && dot > 0)
        name.erase(dot);
    return name;
}

} // namespace

std::string DesktopFolder() {
    if (const char* xdg = std::getenv("XDG_DESKTOP_DIR"); xdg && *xdg)
        return xdg;
    if (const char* home = std::getenv("HOME"); home && *home)
        return std::string(home) + "/Desktop";
    return std::string();
}

std::string ShortcutFileName(const std::string& name) {
    return name + ".desktop";
}

bool WriteShortcut(const std::string& linkPath, const std::string& target,
                   const std::string& workingFolder) {
    const std::string native = NativePath(linkPath);
    std::string entry = "[Desktop Entry]\n"
                        "Type=Application\n"
                        "Name=" +
                        EscapeValue(BaseName(native)) + "\n" +
                        "Exec=" + EscapeValue(QuoteExec(NativePath(target))) + "\n" +
                        "Path=" + EscapeValue(NativePath(workingFolder)) + "\n" +
                        "Terminal=false\n";
    return WriteWholeFile(native, entry);
}

bool ReadShortcut(const std::string& linkPath, std::string& target, std::string& workingFolder) {
    std::string contents;
    if (!ReadWholeFile(linkPath, contents))
        return false;
    std::istringstream lines(contents);
    std::string line;
    bool inEntry = false, haveExec = false;
    std::string exec, path;
    while (std::getline(lines, line)) {
        if (!line.empty() && line[0] == '[') {
            inEntry = line == "[Desktop Entry]";
            continue;
        }
        if (!inEntry)
            continue;
        if (line.rfind("Exec=", 0) == 0) {
            exec = UnescapeValue(line.substr(5));
            haveExec = true;
        } else if (line.rfind("Path=", 0) == 0) {
            path = UnescapeValue(line.substr(5));
        }
    }
    if (!haveExec)
        return false;
    target = UnquoteExec(exec);
    workingFolder = path;
    return true;
}

} // namespace tarnvale::platform
