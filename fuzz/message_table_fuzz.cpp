// Loads arbitrary bytes as message.wtf and looks texts up.
#include "msg/MessageFile.h"
#include "msg/MessageSource.h"
#include "msg/VeyMsg.h"
#include "platform/MessageBox.h"

#include <cstddef>
#include <cstdint>
#include <set>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    static const bool quiet = [] {
        tarnvale::platform::SetMessageBoxHook(
            [](const char*, const char*, unsigned, tarnvale::platform::TextCodePage) { return 1; });
        return true;
    }();
    (void)quiet;
    static tarnvale::VeyMsg table;
    table.LoadFromMemory(bytes);
    for (int id : {-1, 0, 1, 102, 32766, 32767, 40000})
        if (!table.GetText(id))
            __builtin_trap();

    const auto file = tarnvale::msg::ParseMessageFile(bytes, 0x6D);
    // Whatever parses must survive the source form both ways, unless it defines
    // an identifier twice, which the source form refuses.
    const std::string source = tarnvale::msg::FormatMessageSource(file.records);
    std::vector<tarnvale::msg::MessageFileRecord> again;
    tarnvale::msg::SourceError error;
    std::set<int> ids;
    bool unique = true;
    for (const auto& record : file.records)
        unique = ids.insert(record.id).second && unique;
    if (!file.records.empty() && unique && !tarnvale::msg::ParseMessageSource(source, again, error))
        __builtin_trap();
    // The source parser sees arbitrary text too.
    tarnvale::msg::ParseMessageSource(bytes, again, error);
    return 0;
}
