#include "msg/MessageSource.h"

#include <charconv>
#include <map>

namespace tarnvale::msg {
namespace {

bool Unescape(std::string_view escaped, std::string& text, std::string& what) {
    text.clear();
    for (size_t i = 0; i < escaped.size(); ++i) {
        if (escaped[i] != '\\') {
            text += escaped[i];
            continue;
        }
        if (++i == escaped.size()) {
            what = "text ends with a lone backslash";
            return false;
        }
        switch (escaped[i]) {
        case '\\':
            text += '\\';
            break;
        case 't':
            text += '\t';
            break;
        case 'n':
            text += '\n';
            break;
        case 'r':
            text += '\r';
            break;
        default:
            what = std::string("unknown escape \\") + escaped[i];
            return false;
        }
    }
    return true;
}

} // namespace

bool ParseMessageSource(std::string_view source, std::vector<MessageFileRecord>& records,
                        SourceError& error) {
    records.clear();
    std::map<int, int> definedOn; // identifier -> line
    int lineNumber = 0;
    while (!source.empty()) {
        const size_t eol = source.find('\n');
        std::string_view line = source.substr(0, eol);
        source.remove_prefix(eol == std::string_view::npos ? source.size() : eol + 1);
        ++lineNumber;
        // A source saved with Windows line ends must not leave a carriage return at
        // the end of every text; a wanted one is written "\r".
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        if (line.empty())
            continue;

        error.line = lineNumber;
        const size_t tab = line.find('\t');
        if (tab == std::string_view::npos) {
            error.what = "expected an identifier, a tab and the text";
            return false;
        }
        const std::string_view idText = line.substr(0, tab);
        int id = 0;
        const auto [end, ec] = std::from_chars(idText.data(), idText.data() + idText.size(), id);
        if (idText.empty() || ec != std::errc() || end != idText.data() + idText.size()) {
            error.what = "identifier is not a decimal number";
            return false;
        }
        if (id < -32768 || id > 32767) {
            error.what = "identifier outside -32768..32767";
            return false;
        }
        if (const auto [it, added] = definedOn.emplace(id, lineNumber); !added) {
            // The launcher would only ever find one of them: the other text is lost.
            error.what = "identifier " + std::to_string(id) + " is already defined on line " +
                         std::to_string(it->second);
            return false;
        }
        MessageFileRecord record;
        record.id = static_cast<std::int16_t>(id);
        if (!Unescape(line.substr(tab + 1), record.text, error.what))
            return false;
        if (record.text.size() > static_cast<size_t>(kMaxTextLength)) {
            error.what = "text longer than 255 bytes";
            return false;
        }
        records.push_back(std::move(record));
    }
    if (records.empty()) {
        error.line = lineNumber;
        error.what = "no records: a message table needs at least one";
        return false;
    }
    return true;
}

std::string FormatMessageSource(const std::vector<MessageFileRecord>& records) {
    std::string out;
    for (const MessageFileRecord& record : records) {
        out += std::to_string(record.id);
        out += '\t';
        for (char c : record.text) {
            switch (c) {
            case '\\':
                out += "\\\\";
                break;
            case '\t':
                out += "\\t";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            default:
                out += c;
            }
        }
        out += '\n';
    }
    return out;
}

} // namespace tarnvale::msg
