#include "platform/gbk_text.h"

#include <windows.h>

namespace {
constexpr UINT kGbkCodePage = 936;
}

std::wstring WideFromCodePage(const std::string &text, unsigned codePage) {
    if (text.empty()) return {};
    const int size = MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    if (size <= 0) return {};
    std::wstring wide(static_cast<size_t>(size), L'\0');
    MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), wide.data(), size);
    return wide;
}

std::string CodePageFromWide(const std::wstring &text, unsigned codePage) {
    if (text.empty()) return {};
    const int size =
        WideCharToMultiByte(codePage, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    if (size <= 0) return {};
    std::string narrow(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(codePage, 0, text.data(), static_cast<int>(text.size()), narrow.data(), size, nullptr, nullptr);
    return narrow;
}

std::string GbkFromWide(const std::wstring &text) { return CodePageFromWide(text, kGbkCodePage); }
std::wstring ToWideChs(const std::string &text) { return WideFromCodePage(text, kGbkCodePage); }
std::wstring WideFromAnsi(const std::string &text) { return WideFromCodePage(text, CP_ACP); }
