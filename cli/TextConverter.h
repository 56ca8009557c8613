#pragma once

#include <string>

namespace tarnvale::cli {

// Turns the launcher's texts, bytes in a Windows code page, into the terminal's
// encoding. Texts that cannot be converted pass through unchanged.
class TextConverter {
  public:
    // `codePage` names the texts' encoding for iconv, e.g. "CP936" or "CP949".
    explicit TextConverter(const std::string& codePage);
    ~TextConverter();
    TextConverter(const TextConverter&) = delete;
    TextConverter& operator=(const TextConverter&) = delete;

    std::string operator()(const std::string& text) const;

  private:
    void* m_handle; // iconv_t, or (void*)-1 when no conversion is possible
};

} // namespace tarnvale::cli
