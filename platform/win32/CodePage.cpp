#include "platform/CodePage.h"

#include <windows.h>

namespace tarnvale::platform {
namespace {

bool ToWide(std::string_view in, unsigned codePage, std::wstring& wide) {
    wide.clear();
    if (in.empty())
        return true;
    const int length = static_cast<int>(in.size());
    const int needed =
        ::MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, in.data(), length, nullptr, 0);
    if (needed <= 0)
        return false;
    wide.resize(static_cast<size_t>(needed));
    return ::MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, in.data(), length, wide.data(),
                                 needed) == needed;
}

// UTF-8 takes neither the best-fit flag nor the default-character report, and
// cannot fail to carry a character; every other code page must report both.
bool FromWide(const std::wstring& wide, unsigned codePage, std::string& out) {
    out.clear();
    if (wide.empty())
        return true;
    const bool utf8 = codePage == CP_UTF8;
    const DWORD flags = utf8 ? 0 : WC_NO_BEST_FIT_CHARS;
    BOOL usedDefault = FALSE;
    BOOL* report = utf8 ? nullptr : &usedDefault;
    const int length = static_cast<int>(wide.size());
    const int needed =
        ::WideCharToMultiByte(codePage, flags, wide.data(), length, nullptr, 0, nullptr, report);
    if (needed <= 0 || usedDefault)
        return false;
    out.resize(static_cast<size_t>(needed));
    return ::WideCharToMultiByte(codePage, flags, wide.data(), length, out.data(), needed, nullptr,
                                 report) == needed &&
           !usedDefault;
}

} // namespace

bool Utf8ToCodePage(std::string_view utf8, unsigned codePage, std::string& out) {
    std::wstring wide;
    return ToWide(utf8, CP_UTF8, wide) && FromWide(wide, codePage, out);
}

bool CodePageToUtf8(std::string_view bytes, unsigned codePage, std::string& out) {
    std::wstring wide;
    return ToWide(bytes, codePage, wide) && FromWide(wide, CP_UTF8, out);
}

} // namespace tarnvale::platform
