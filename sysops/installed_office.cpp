#include "sysops/installed_office.h"

#include <windows.h>

#include <algorithm>

#include "platform/scoped_handle.h"

namespace {

constexpr const wchar_t *kConfigurationKey = L"SOFTWARE\\Microsoft\\Office\\ClickToRun\\Configuration";
constexpr const wchar_t *kUninstallKey = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall";

// A string value as stored: REG_EXPAND_SZ is not expanded, since the environment it would be
// expanded from is the user's, not the administrator's record. Empty when absent or not a string.
std::wstring StringValue(HKEY key, const wchar_t *subKey, const wchar_t *name) {
    const DWORD flags = RRF_RT_REG_SZ | RRF_RT_REG_EXPAND_SZ | RRF_NOEXPAND;
    DWORD size = 0;
    if (RegGetValueW(key, subKey, name, flags, nullptr, nullptr, &size) != ERROR_SUCCESS || size == 0) return {};
    std::wstring value(size / sizeof(wchar_t), L'\0');
    if (RegGetValueW(key, subKey, name, flags, nullptr, value.data(), &size) != ERROR_SUCCESS) return {};
    value.resize(size / sizeof(wchar_t));
    while (!value.empty() && value.back() == L'\0') value.pop_back();
    return value;
}

void ReadView(REGSAM view, InstalledClickToRun &installed) {
    {
        ScopedKey configuration(kConfigurationKey, KEY_READ | view);
        if (configuration.Get() != nullptr) {
            for (const std::wstring &id : SplitReleaseIds(StringValue(configuration.Get(), nullptr, L"ProductReleaseIds"))) {
                installed.releaseIds.push_back(id);
            }
        }
    }
    ScopedKey uninstall(kUninstallKey, KEY_READ | view);
    if (uninstall.Get() == nullptr) return;
    for (DWORD index = 0;; ++index) {
        wchar_t name[256];
        DWORD length = 256;
        const LONG status = RegEnumKeyExW(uninstall.Get(), index, name, &length, nullptr, nullptr, nullptr, nullptr);
        if (status == ERROR_MORE_DATA) continue;  // longer than a key name may be: not Office's
        if (status != ERROR_SUCCESS) break;
        const std::wstring command = StringValue(uninstall.Get(), name, L"UninstallString");
        if (RunsClickToRun(command)) installed.entries.push_back({std::wstring(name, length), command, view == KEY_WOW64_32KEY});
    }
}

}  // namespace

InstalledClickToRun ReadInstalledClickToRun() {
    InstalledClickToRun installed;
    ReadView(KEY_WOW64_64KEY, installed);
    ReadView(KEY_WOW64_32KEY, installed);
    // Keys that are not redirected (or a 32-bit Windows, which has one view) appear in both reads.
    installed.releaseIds = SplitReleaseIds([&] {
        std::wstring all;
        for (const std::wstring &id : installed.releaseIds) all += id + L",";
        return all;
    }());
    std::vector<ClickToRunEntry> entries;
    for (const ClickToRunEntry &entry : installed.entries) {
        const bool seen = std::any_of(entries.begin(), entries.end(), [&](const ClickToRunEntry &kept) {
            return kept.key == entry.key && kept.uninstallString == entry.uninstallString;
        });
        if (!seen) entries.push_back(entry);
    }
    installed.entries = std::move(entries);
    return installed;
}
