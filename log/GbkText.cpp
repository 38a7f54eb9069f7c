#include "log/GbkText.h"

#include <windows.h>

namespace {
constexpr UINT kGbkCodePage = 936;
}

std::string GbkFromWide(const std::wstring &text) {
    if (text.empty()) return {};
    int size = WideCharToMultiByte(kGbkCodePage, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                                   nullptr, nullptr);
    if (size <= 0) return {};
    std::string gbk(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(kGbkCodePage, 0, text.data(), static_cast<int>(text.size()), gbk.data(), size, nullptr,
                        nullptr);
    return gbk;
}

std::wstring WideFromGbk(const std::string &text) {
    if (text.empty()) return {};
    int size = MultiByteToWideChar(kGbkCodePage, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    if (size <= 0) return {};
    std::wstring wide(static_cast<size_t>(size), L'\0');
    MultiByteToWideChar(kGbkCodePage, 0, text.data(), static_cast<int>(text.size()), wide.data(), size);
    return wide;
}
