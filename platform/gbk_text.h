#pragma once
// Conversions between UTF-16 and narrow text: GBK (code page 936), which do not depend on the
// system's ANSI code page or on the C runtime's locale, and the process's ANSI code page, in
// which the download engine takes and gives its texts.
#include <string>

std::string GbkFromWide(const std::wstring &text);
// GBK, the simplified Chinese ("chs") code page, as UTF-16.
std::wstring ToWideChs(const std::string &text);
std::wstring WideFromAnsi(const std::string &text);

// Narrow text in codePage (a Windows code page number; 0 is the ANSI one) as UTF-16, and back;
// empty when the text does not convert.
std::wstring WideFromCodePage(const std::string &text, unsigned codePage);
std::string CodePageFromWide(const std::wstring &text, unsigned codePage);
