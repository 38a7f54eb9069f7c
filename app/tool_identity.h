#pragma once
// How the tool names itself to the feedback library and in its title. Plain #defines are read by the
// resource compiler too, so the file version and the shown version cannot drift apart.
#define HALDEN_VERSION_TEXT "2.1.21.312"
#define HALDEN_VERSION_NUMBERS 2, 1, 21, 312

#ifndef RC_INVOKED
constexpr wchar_t TOOL_ID[] = L"10075";
constexpr wchar_t TOOL_VERSION[] = L"" HALDEN_VERSION_TEXT;
#endif
