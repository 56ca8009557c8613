#include "platform/CodePage.h"

#include <cerrno>
#include <iconv.h>

namespace tarnvale::platform {
namespace {

// One whole conversion with iconv; without "//TRANSLIT" or "//IGNORE" iconv stops
// at the first character it cannot carry over, which is what callers want.
bool Convert(std::string_view in, const std::string& from, const std::string& to,
             std::string& out) {
    // `in` may view `out` itself: `out` changes only once the conversion is done.
    if (in.empty()) {
        out.clear();
        return true;
    }
    const iconv_t handle = iconv_open(to.c_str(), from.c_str());
    if (handle == reinterpret_cast<iconv_t>(-1))
        return false;
    std::string buffer(in.size() * 4 + 16, '\0');
    char* inPtr = const_cast<char*>(in.data());
    size_t inLeft = in.size();
    char* outPtr = buffer.data();
    size_t outLeft = buffer.size();
    bool ok = iconv(handle, &inPtr, &inLeft, &outPtr, &outLeft) != static_cast<size_t>(-1);
    // Flush any shift state; the code pages used here have none, but iconv asks for it.
    ok = ok && iconv(handle, nullptr, nullptr, &outPtr, &outLeft) != static_cast<size_t>(-1);
    iconv_close(handle);
    if (!ok || inLeft != 0)
        return false;
    buffer.resize(buffer.size() - outLeft);
    out = std::move(buffer);
    return true;
}

std::string IconvName(unsigned codePage) {
    return "CP" + std::to_string(codePage);
}

} // namespace

bool Utf8ToCodePage(std::string_view utf8, unsigned codePage, std::string& out) {
    return Convert(utf8, "UTF-8", IconvName(codePage), out);
}

bool CodePageToUtf8(std::string_view bytes, unsigned codePage, std::string& out) {
    return Convert(bytes, IconvName(codePage), "UTF-8", out);
}

} // namespace tarnvale::platform
