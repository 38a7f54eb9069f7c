#include "app/command_line.h"

#include "app/image_source.h"
#include "expected_digest.h"

// Short enough for the prompt's three lines beside one line of the fault; the README explains each.
const wchar_t kUsageText[] = L"用法: Halden.exe [/quiet] [/norestart] [/?]\n[/log 文件] [/source 地址] [/sha256 值]";

namespace {

bool LooksLikeSwitch(const std::wstring &text) { return !text.empty() && (text[0] == L'/' || text[0] == L'-'); }

std::wstring LowerAscii(std::wstring text) {
    for (wchar_t &c : text) {
        if (c >= L'A' && c <= L'Z') c = static_cast<wchar_t>(c - L'A' + L'a');
    }
    return text;
}

}  // namespace

std::string CanonicalSha256(const std::wstring &text) {
    std::string narrow;
    for (wchar_t c : text) narrow += (c > 0 && c < 0x7F) ? static_cast<char>(c) : '\x7F';
    unsigned char digest[DRAVLIN_SHA256_BYTES];
    if (!DravlinParseSha256Hex(narrow.c_str(), digest)) return {};
    char hex[65];
    DravlinFormatSha256Hex(digest, hex);
    return hex;
}

Switches ParseSwitches(const std::vector<std::wstring> &arguments) {
    Switches switches;
    bool logSeen = false;
    bool sourceSeen = false;
    bool sha256Seen = false;
    // Read to the end whatever is wrong, so that a /log given after the fault still gets its record.
    std::wstring error;
    const auto refuse = [&](std::wstring why) {
        if (error.empty()) error = std::move(why);
    };
    for (size_t index = 0; index < arguments.size(); ++index) {
        const std::wstring &argument = arguments[index];
        if (!LooksLikeSwitch(argument)) {
            refuse(L"无法识别的参数 " + argument);
            continue;
        }
        const std::wstring name = LowerAscii(argument.substr(1));
        const bool takesValue = name == L"log" || name == L"source" || name == L"sha256";
        std::wstring value;
        if (takesValue) {
            // "/log /quiet" is a forgotten file name, not a file called "/quiet".
            if (index + 1 >= arguments.size() || arguments[index + 1].empty() || LooksLikeSwitch(arguments[index + 1])) {
                refuse(L"参数缺少值 " + argument);
                continue;
            }
            value = arguments[++index];
        }
        if (name == L"quiet") {
            switches.quiet = true;
        } else if (name == L"norestart") {
            switches.noRestart = true;
        } else if (name == L"?") {
            switches.usage = true;
        } else if (name == L"log") {
            // Two different files would leave one of them silently empty.
            if (logSeen) refuse(L"参数重复 " + argument);
            logSeen = true;
            switches.logFile = value;
        } else if (name == L"source") {
            if (sourceSeen) refuse(L"参数重复 " + argument);
            sourceSeen = true;
            std::string narrow;
            for (wchar_t c : value) narrow += (c >= 0x20 && c < 0x7F) ? static_cast<char>(c) : '\x7F';
            bool refused = false;
            switches.sourceUrl = ChooseImageUrl(narrow.c_str(), refused);
            if (refused) {
                switches.sourceUrl.clear();
                refuse(L"不是可用的下载地址 " + value);
            }
        } else if (name == L"sha256") {
            if (sha256Seen) refuse(L"参数重复 " + argument);
            sha256Seen = true;
            switches.imageSha256 = CanonicalSha256(value);
            if (switches.imageSha256.empty()) refuse(L"不是 64 位十六进制的 SHA-256 " + value);
        } else {
            refuse(L"无法识别的参数 " + argument);
        }
    }
    switches.error = error;
    return switches;
}
