#include "sysops/click_to_run.h"

#include <algorithm>
#include <cstdio>
#include <cwctype>

namespace {

bool EqualNoCase(const std::wstring &a, const std::wstring &b) {
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [](wchar_t x, wchar_t y) { return std::towlower(x) == std::towlower(y); });
}

bool StartsWithNoCase(const std::wstring &text, const std::wstring &prefix) {
    return text.size() >= prefix.size() && EqualNoCase(text.substr(0, prefix.size()), prefix);
}

std::wstring Lower(std::wstring text) {
    for (wchar_t &c : text) c = static_cast<wchar_t>(std::towlower(c));
    return text;
}

std::wstring Trim(const std::wstring &text) {
    const size_t first = text.find_first_not_of(L" \t");
    if (first == std::wstring::npos) return {};
    return text.substr(first, text.find_last_not_of(L" \t") - first + 1);
}

std::wstring FileName(const std::wstring &path) {
    const size_t slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? path : path.substr(slash + 1);
}

const std::wstring kClickToRunProgram = L"OfficeClickToRun.exe";

std::wstring Joined(const std::vector<std::wstring> &items, const wchar_t *separator) {
    std::wstring text;
    for (const std::wstring &item : items) text += (text.empty() ? L"" : separator) + item;
    return text;
}

}  // namespace

bool NothingRegistered(const InstalledClickToRun &installed) {
    return installed.releaseIds.empty() && installed.entries.empty();
}

std::vector<std::wstring> SplitReleaseIds(const std::wstring &value) {
    std::vector<std::wstring> ids;
    size_t start = 0;
    while (start <= value.size()) {
        size_t comma = value.find(L',', start);
        if (comma == std::wstring::npos) comma = value.size();
        const std::wstring id = Trim(value.substr(start, comma - start));
        const bool known = std::any_of(ids.begin(), ids.end(), [&](const std::wstring &seen) { return EqualNoCase(seen, id); });
        if (!id.empty() && !known) ids.push_back(id);
        start = comma + 1;
    }
    return ids;
}

bool RunsClickToRun(const std::wstring &uninstallString) {
    const std::wstring text = Trim(uninstallString);
    std::wstring program;
    if (!text.empty() && text[0] == L'"') {
        const size_t close = text.find(L'"', 1);
        if (close == std::wstring::npos) return false;
        program = text.substr(1, close - 1);
    } else {
        const size_t exe = Lower(text).find(L".exe");
        if (exe == std::wstring::npos) return false;
        program = text.substr(0, exe + 4);
    }
    return EqualNoCase(FileName(program), kClickToRunProgram);
}

std::optional<ProgramCommand> SilentUninstallCommand(const std::wstring &uninstallString) {
    const std::wstring text = Trim(uninstallString);
    if (text.size() < 2 || text[0] != L'"') return std::nullopt;
    const size_t close = text.find(L'"', 1);
    if (close == std::wstring::npos) return std::nullopt;
    ProgramCommand command;
    command.program = text.substr(1, close - 1);
    const std::wstring &path = command.program;
    const bool absolute = path.size() > 3 && std::iswalpha(path[0]) && path[1] == L':' && path[2] == L'\\';
    if (!absolute || path.find(L'/') != std::wstring::npos || !EqualNoCase(FileName(path), kClickToRunProgram)) {
        return std::nullopt;
    }
    // The arguments are Click-to-Run's name=value words; a DisplayLevel of its own would show the
    // wizard and wait for a person.
    std::vector<std::wstring> words;
    const std::wstring rest = text.substr(close + 1);
    size_t start = 0;
    while (start < rest.size()) {
        size_t end = rest.find_first_of(L" \t", start);
        if (end == std::wstring::npos) end = rest.size();
        const std::wstring word = rest.substr(start, end - start);
        if (!word.empty() && !StartsWithNoCase(word, L"DisplayLevel=")) words.push_back(word);
        start = end + 1;
    }
    words.push_back(L"DisplayLevel=False");
    command.arguments = Joined(words, L" ");
    return command;
}

std::wstring ProgramCommandLine(const ProgramCommand &command) {
    return L"\"" + command.program + L"\"" + (command.arguments.empty() ? L"" : L" " + command.arguments);
}

std::wstring RegisteredOfficeText(const InstalledClickToRun &installed) {
    std::vector<std::wstring> keys;
    for (const ClickToRunEntry &entry : installed.entries) keys.push_back(entry.key + (entry.view32 ? L" (32)" : L""));
    return L"已安装: " + Joined(installed.releaseIds, L",") + L"; 卸载项: " + Joined(keys, L", ");
}

std::wstring RemainingOfficeRecord(const InstalledClickToRun &remaining, const std::vector<RanCommand> &ran) {
    std::vector<std::wstring> codes;
    for (const RanCommand &command : ran) {
        // Steps are numbers; product keys hold spaces, and brackets keep each one in one piece.
        const bool step = !command.name.empty() && command.name.find_first_not_of(L"0123456789") == std::wstring::npos;
        codes.push_back((step ? command.name : L"[" + command.name + L"]") + L"=" + OutcomeText(command.outcome));
    }
    return L"卸载当前系统的Office失败 仍" + RegisteredOfficeText(remaining) + L"; 退出码: " + Joined(codes, L" ");
}
