// The troubleshooter (msdt.exe) and Click-to-Run's uninstall (OfficeClickToRun.exe ...
// productstoremove=...): both take Office's registrations away, as the real ones do, so that the
// program under test finds in the registry what it would find on Windows.
#include <windows.h>

#include <cwchar>
#include <string>
#include <vector>

#include "support/doubles/call_record.h"
#include "support/doubles/options.h"
#include "support/doubles/personalities.h"

namespace {

constexpr const wchar_t *kConfigurationKey = L"SOFTWARE\\Microsoft\\Office\\ClickToRun\\Configuration";
constexpr const wchar_t *kUninstallKey = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall";

std::vector<std::wstring> Split(const std::wstring &text, wchar_t separator) {
    std::vector<std::wstring> items;
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = text.find(separator, start);
        if (end == std::wstring::npos) end = text.size();
        if (end > start) items.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return items;
}

bool Listed(const std::vector<std::wstring> &ids, const std::wstring &id) {
    for (const std::wstring &listed : ids) {
        if (listed == L"*" || CompareStringOrdinal(listed.c_str(), -1, id.c_str(), -1, TRUE) == CSTR_EQUAL) return true;
    }
    return false;
}

std::wstring StringValue(HKEY key, const wchar_t *subKey, const wchar_t *name) {
    wchar_t value[2048] = {};
    DWORD size = sizeof(value) - sizeof(wchar_t);
    if (RegGetValueW(key, subKey, name, RRF_RT_REG_SZ | RRF_NOEXPAND, nullptr, value, &size) != ERROR_SUCCESS) return {};
    return value;
}

// The products an uninstall command names: "productstoremove=A.16_zh-cn_x-none|B.16_...".
std::vector<std::wstring> ProductsToRemove(const std::wstring &commandLine) {
    std::vector<std::wstring> ids;
    size_t pos = FindNoCase(commandLine, L"productstoremove=");
    if (pos == std::wstring::npos) return ids;
    pos += 17;
    const std::wstring value = commandLine.substr(pos, commandLine.find(L' ', pos) - pos);
    for (const std::wstring &product : Split(value, L'|')) ids.push_back(product.substr(0, product.find(L'.')));
    return ids;
}

// Takes the listed products ("*" for all) out of ProductReleaseIds and deletes their uninstall
// entries, in both registry views. Returns the ids removed, comma-separated.
std::wstring RemoveProducts(const std::vector<std::wstring> &ids) {
    std::wstring removed;
    auto note = [&](const std::wstring &id) {
        for (const std::wstring &seen : Split(removed, L',')) {
            if (seen == id) return;
        }
        removed += (removed.empty() ? L"" : L",") + id;
    };
    for (REGSAM view : {KEY_WOW64_64KEY, KEY_WOW64_32KEY}) {
        HKEY configuration = nullptr;
        if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kConfigurationKey, 0, KEY_READ | KEY_SET_VALUE | view, &configuration) ==
            ERROR_SUCCESS) {
            std::wstring kept;
            for (const std::wstring &id : Split(StringValue(configuration, nullptr, L"ProductReleaseIds"), L',')) {
                if (Listed(ids, id)) {
                    note(id);
                } else {
                    kept += (kept.empty() ? L"" : L",") + id;
                }
            }
            if (kept.empty()) {
                RegDeleteValueW(configuration, L"ProductReleaseIds");
            } else {
                RegSetValueExW(configuration, L"ProductReleaseIds", 0, REG_SZ, reinterpret_cast<const BYTE *>(kept.c_str()),
                               static_cast<DWORD>((kept.size() + 1) * sizeof(wchar_t)));
            }
            RegCloseKey(configuration);
        }
        HKEY uninstall = nullptr;
        if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kUninstallKey, 0, KEY_READ | DELETE | view, &uninstall) != ERROR_SUCCESS) {
            continue;
        }
        std::vector<std::wstring> doomed;
        wchar_t name[256];
        for (DWORD index = 0;; ++index) {
            DWORD length = 256;
            if (RegEnumKeyExW(uninstall, index, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
            const std::wstring command = StringValue(uninstall, name, L"UninstallString");
            if (FindNoCase(command, L"OfficeClickToRun.exe") == std::wstring::npos) continue;
            for (const std::wstring &id : ProductsToRemove(command)) {
                if (!Listed(ids, id)) continue;
                doomed.push_back(name);
                note(id);
                break;
            }
        }
        for (const std::wstring &key : doomed) RegDeleteTreeW(uninstall, key.c_str());
        RegCloseKey(uninstall);
    }
    return removed;
}

}  // namespace

// HALDEN_DOUBLE_MSDT_MS=N: works N ms, as a person clicking through the wizard would;
// HALDEN_DOUBLE_MSDT_REMOVES=A,B (or *) takes those products away. Notes "ended, removed A,B".
int RunTroubleshooter() {
    AppendCallRecord(L"");
    Sleep(DoubleOptionNumber(L"HALDEN_DOUBLE_MSDT_MS"));
    const std::wstring removed = RemoveProducts(Split(DoubleOption(L"HALDEN_DOUBLE_MSDT_REMOVES"), L','));
    AppendCallRecord(L"ended, removed " + removed);
    return 0;
}

// Removes the products its command line names, or with HALDEN_DOUBLE_C2R_KEEPS=1 keeps them and
// still exits 0 (an uninstall that claims success). Notes "removed A" or "kept A".
int RunClickToRunUninstall(const std::wstring &commandLine) {
    AppendCallRecord(L"");
    const std::vector<std::wstring> ids = ProductsToRemove(commandLine);
    if (DoubleOption(L"HALDEN_DOUBLE_C2R_KEEPS") == L"1") {
        std::wstring kept;
        for (const std::wstring &id : ids) kept += (kept.empty() ? L"" : L",") + id;
        AppendCallRecord(L"kept " + kept);
        return 0;
    }
    AppendCallRecord(L"removed " + RemoveProducts(ids));
    return 0;
}
