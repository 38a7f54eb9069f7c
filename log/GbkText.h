#pragma once
// Conversions between UTF-16 and GBK (code page 936) that do not depend on the system's ANSI
// code page or on the C runtime's locale.
#include <string>

std::string GbkFromWide(const std::wstring &text);
std::wstring WideFromGbk(const std::string &text);
