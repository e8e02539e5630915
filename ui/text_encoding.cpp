#include "ui/text_encoding.h"

#include <windows.h>

namespace purrbox::ui {

std::wstring utf8ToUtf16(std::string_view utf8)
{
    if (utf8.empty()) return {};
    const int inputLength = static_cast<int>(utf8.size());
    const int length = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), inputLength, nullptr, 0);
    if (length <= 0) return {};
    std::wstring wide(static_cast<std::size_t>(length), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), inputLength, wide.data(), length);
    return wide;
}

std::string utf8ToCodePage(std::string_view utf8, unsigned codePage)
{
    if (codePage == Utf8CodePage) return std::string(utf8);
    const std::wstring wide = utf8ToUtf16(utf8);
    if (wide.empty()) return {};
    const int inputLength = static_cast<int>(wide.size());
    const int length = WideCharToMultiByte(codePage, 0, wide.data(), inputLength, nullptr, 0, nullptr, nullptr);
    if (length <= 0) return {};
    std::string text(static_cast<std::size_t>(length), '\0');
    WideCharToMultiByte(codePage, 0, wide.data(), inputLength, text.data(), length, nullptr, nullptr);
    return text;
}

AnsiText::AnsiText(std::string_view utf8) : text_(utf8ToCodePage(utf8, GetACP())) {}

}  // namespace purrbox::ui
