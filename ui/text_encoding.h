// The texts are UTF-8 in the source. The program calls the A functions, which
// take text in the process's active code page: UTF-8 where the manifest's
// activeCodePage is honoured (Windows 10 1903 and later, Wine), the system's
// ANSI code page elsewhere. The conversion happens here, once, right before a
// text is handed to Windows.
#pragma once

#include <string>
#include <string_view>

namespace purrbox::ui {

inline constexpr unsigned Utf8CodePage = 65001;  // CP_UTF8

std::wstring utf8ToUtf16(std::string_view utf8);

// Characters the code page cannot hold become its default character.
std::string utf8ToCodePage(std::string_view utf8, unsigned codePage);

// A text as the A functions of this process expect it, zero-terminated.
class AnsiText {
public:
    explicit AnsiText(std::string_view utf8);
    const char* c_str() const { return text_.c_str(); }
    const std::string& str() const { return text_; }

private:
    std::string text_;
};

}  // namespace purrbox::ui
