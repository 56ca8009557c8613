#include "platform/RegistryHive.h"

#include "platform/HexDigit.h"
#include "platform/Names.h"

#include "platform/Registry.h"

#include <algorithm>
#include <cstdio>

namespace tarnvale::platform::hive {
namespace {

constexpr char kHeader[] = "tarnvale-registry-hive 1";
constexpr char kEnd[] = "end";

void AppendQuoted(std::string& out, const std::string& text) {
    static const char digits[] = "0123456789abcdef";
    out += '"';
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '\\') {
            out += "\\\\";
        } else if (c == '"') {
            out += "\\\"";
        } else if (byte < 0x20 || byte >= 0x7F) {
            out += "\\x";
            out += digits[byte >> 4];
            out += digits[byte & 15];
        } else {
            out += c;
        }
    }
    out += '"';
}

// Reads a quoted text at `pos`, leaving `pos` after the closing quote.
bool ReadQuoted(const std::string& line, size_t& pos, std::string& text) {
    if (pos >= line.size() || line[pos] != '"')
        return false;
    ++pos;
    text.clear();
    while (pos < line.size()) {
        const char c = line[pos++];
        if (c == '"')
            return true;
        if (c != '\\') {
            text += c;
            continue;
        }
        if (pos >= line.size())
            return false;
        const char e = line[pos++];
        if (e == '\\' || e == '"') {
            text += e;
        } else if (e == 'x' && pos + 2 <= line.size() && HexDigit(line[pos]) >= 0 &&
                   HexDigit(line[pos + 1]) >= 0) {
            text += static_cast<char>(HexDigit(line[pos]) * 16 + HexDigit(line[pos + 1]));
            pos += 2;
        } else {
            return false;
        }
    }
    return false; // no closing quote
}

bool ParseDword(const std::string& digits, std::string& data) {
    if (digits.size() != 8)
        return false;
    std::uint32_t value = 0;
    for (const char c : digits) {
        const int d = HexDigit(c);
        if (d < 0)
            return false;
        value = value * 16 + static_cast<std::uint32_t>(d);
    }
    data.assign({static_cast<char>(value & 0xFF), static_cast<char>((value >> 8) & 0xFF),
                 static_cast<char>((value >> 16) & 0xFF), static_cast<char>(value >> 24)});
    return true;
}

bool StartsWithNoCase(const std::string& text, const std::string& prefix) {
    return text.size() >= prefix.size() && NamesEqual(text.substr(0, prefix.size()), prefix);
}

} // namespace

bool IsValidPath(const std::string& path) {
    if (path.empty() || path.front() == '\\' || path.back() == '\\')
        return false;
    if (path.find('\0') != std::string::npos)
        return false;
    return path.find("\\\\") == std::string::npos;
}

Key* Hive::FindKey(const std::string& path) {
    for (Key& key : keys)
        if (NamesEqual(key.path, path))
            return &key;
    return nullptr;
}

const Key* Hive::FindKey(const std::string& path) const {
    return const_cast<Hive*>(this)->FindKey(path);
}

Key& Hive::AddKey(const std::string& path) {
    // Parents first, so the file lists a key after the keys that hold it.
    for (size_t slash = path.find('\\'); slash != std::string::npos;
         slash = path.find('\\', slash + 1)) {
        const std::string parent = path.substr(0, slash);
        if (!FindKey(parent))
            keys.push_back({parent, {}});
    }
    if (Key* key = FindKey(path))
        return *key;
    keys.push_back({path, {}});
    return keys.back();
}

bool Hive::RemoveKey(const std::string& path) {
    const auto it = std::find_if(keys.begin(), keys.end(),
                                 [&](const Key& key) { return NamesEqual(key.path, path); });
    if (it == keys.end())
        return false;
    const std::string prefix = path + '\\';
    for (const Key& key : keys)
        if (StartsWithNoCase(key.path, prefix))
            return false;
    keys.erase(it);
    return true;
}

Value* FindValue(Key& key, const std::string& name) {
    for (Value& value : key.values)
        if (NamesEqual(value.name, name))
            return &value;
    return nullptr;
}

const Value* FindValue(const Key& key, const std::string& name) {
    return FindValue(const_cast<Key&>(key), name);
}

void SetValue(Key& key, const std::string& name, std::uint32_t type, const std::string& data) {
    if (Value* value = FindValue(key, name)) {
        value->type = type;
        value->data = data;
        return;
    }
    key.values.push_back({name, type, data});
}

bool Parse(const std::string& bytes, Hive& hive, std::string& error) {
    Hive parsed;
    Key* current = nullptr;
    bool ended = false;
    size_t start = 0;
    int lineNumber = 0;
    auto fail = [&](const char* what) {
        error = "line " + std::to_string(lineNumber) + ": " + what;
        return false;
    };
    if (bytes.empty() || bytes.back() != '\n') {
        error = "the file does not end with a complete line";
        return false;
    }
    while (start < bytes.size()) {
        const size_t newline = bytes.find('\n', start);
        const std::string line = bytes.substr(start, newline - start);
        start = newline + 1;
        ++lineNumber;
        if (ended)
            return fail("text after the end line");
        if (lineNumber == 1) {
            if (line != kHeader)
                return fail("not a registry hive file");
            continue;
        }
        if (line.empty())
            continue;
        if (line == kEnd) {
            ended = true;
            continue;
        }
        size_t pos = 0;
        std::string name;
        if (line[0] == '[') {
            pos = 1;
            if (!ReadQuoted(line, pos, name) || pos + 1 != line.size() || line[pos] != ']')
                return fail("malformed key line");
            if (!IsValidPath(name))
                return fail("invalid key path");
            if (parsed.FindKey(name))
                return fail("key listed twice");
            parsed.keys.push_back({name, {}});
            current = &parsed.keys.back();
            continue;
        }
        if (!current)
            return fail("value outside a key");
        if (!ReadQuoted(line, pos, name) || pos >= line.size() || line[pos] != '=')
            return fail("malformed value line");
        ++pos;
        Value value{name, 0, {}};
        const std::string rest = line.substr(pos);
        if (rest.rfind("sz:", 0) == 0) {
            size_t textPos = 3;
            if (!ReadQuoted(rest, textPos, value.data) || textPos != rest.size())
                return fail("malformed text value");
            value.type = kRegSz;
        } else if (rest.rfind("dword:", 0) == 0) {
            if (!ParseDword(rest.substr(6), value.data))
                return fail("malformed number value");
            value.type = kRegDword;
        } else {
            return fail("unknown value type");
        }
        if (FindValue(*current, value.name))
            return fail("value listed twice");
        current->values.push_back(std::move(value));
    }
    if (!ended) {
        error = "the end line is missing";
        return false;
    }
    hive = std::move(parsed);
    return true;
}

std::string Serialize(const Hive& hive) {
    std::string out = kHeader;
    out += '\n';
    for (const Key& key : hive.keys) {
        out += '[';
        AppendQuoted(out, key.path);
        out += "]\n";
        for (const Value& value : key.values) {
            AppendQuoted(out, value.name);
            if (value.type == kRegDword && value.data.size() == 4) {
                std::uint32_t number = 0;
                for (int i = 3; i >= 0; --i)
                    number = number << 8 |
                             static_cast<unsigned char>(value.data[static_cast<size_t>(i)]);
                char digits[16];
                std::snprintf(digits, sizeof digits, "%08x", static_cast<unsigned>(number));
                out += "=dword:";
                out += digits;
            } else {
                out += "=sz:";
                AppendQuoted(out, value.data);
            }
            out += '\n';
        }
    }
    out += kEnd;
    out += '\n';
    return out;
}

} // namespace tarnvale::platform::hive
