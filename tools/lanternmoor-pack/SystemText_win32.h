// Text between the pack code, which is UTF-8 throughout, and the system's calls: the ANSI code page
// of the ...A calls and the UTF-16 of the console.
#pragma once

#include <windows.h>

#include <string>

inline std::wstring WideFrom(const std::string& text, UINT codePage) {
    const int size = static_cast<int>(text.size());
    std::wstring wide(
        static_cast<std::size_t>(MultiByteToWideChar(codePage, 0, text.data(), size, nullptr, 0)),
        L'\0');
    MultiByteToWideChar(codePage, 0, text.data(), size, &wide[0], static_cast<int>(wide.size()));
    return wide;
}

inline std::string TextFrom(const std::wstring& wide, UINT codePage) {
    const int size = static_cast<int>(wide.size());
    std::string text(static_cast<std::size_t>(WideCharToMultiByte(codePage, 0, wide.data(), size,
                                                                  nullptr, 0, nullptr, nullptr)),
                     '\0');
    WideCharToMultiByte(codePage, 0, wide.data(), size, &text[0], static_cast<int>(text.size()),
                        nullptr, nullptr);
    return text;
}

inline std::string AnsiFromUtf8(const std::string& text) {
    return TextFrom(WideFrom(text, CP_UTF8), CP_ACP);
}
inline std::string Utf8FromAnsi(const std::string& text) {
    return TextFrom(WideFrom(text, CP_ACP), CP_UTF8);
}
