#include "cli/TextConverter.h"

#include <iconv.h>
#include <langinfo.h>

namespace tarnvale::cli {

namespace {
void* const kNoConversion = reinterpret_cast<void*>(-1);
}

TextConverter::TextConverter(const std::string& codePage) : m_handle(kNoConversion) {
    const char* terminal = nl_langinfo(CODESET);
    if (terminal && *terminal && codePage != terminal)
        m_handle = iconv_open((std::string(terminal) + "//TRANSLIT").c_str(), codePage.c_str());
}

TextConverter::~TextConverter() {
    if (m_handle != kNoConversion)
        iconv_close(static_cast<iconv_t>(m_handle));
}

std::string TextConverter::operator()(const std::string& text) const {
    if (m_handle == kNoConversion || text.empty())
        return text;
    std::string out(text.size() * 4 + 16, '\0');
    char* in = const_cast<char*>(text.data());
    size_t inLeft = text.size();
    char* outPtr = out.data();
    size_t outLeft = out.size();
    iconv(static_cast<iconv_t>(m_handle), nullptr, nullptr, nullptr, nullptr);
    if (iconv(static_cast<iconv_t>(m_handle), &in, &inLeft, &outPtr, &outLeft) ==
        static_cast<size_t>(-1))
        return text;
    out.resize(out.size() - outLeft);
    return out;
}

} // namespace tarnvale::cli
