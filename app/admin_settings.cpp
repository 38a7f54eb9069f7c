#include "app/admin_settings.h"

#include <windows.h>

#include "app/command_line.h"
#include "app/image_source.h"
#include "log/log_save.h"
#include "platform/scoped_handle.h"

const wchar_t kPolicyKey[] = L"Software\\Policies\\Halden";

namespace {

std::string commandLineImageUrl;  // set once at start, before any window or worker
std::string commandLineImageSha256;  // the same

}  // namespace

std::wstring PolicyValue(const wchar_t *name) {
    const ScopedKey policy(kPolicyKey, KEY_QUERY_VALUE | KEY_WOW64_64KEY);
    const HKEY key = policy.Get();
    if (!key) return {};
    std::wstring value;
    DWORD bytes = 0;
    if (RegGetValueW(key, nullptr, name, RRF_RT_REG_SZ, nullptr, nullptr, &bytes) == ERROR_SUCCESS && bytes > 0) {
        value.resize(bytes / sizeof(wchar_t));
        if (RegGetValueW(key, nullptr, name, RRF_RT_REG_SZ, nullptr, value.data(), &bytes) == ERROR_SUCCESS) {
            value.resize(wcsnlen(value.c_str(), value.size()));
        } else {
            value.clear();
        }
    }
    return value;
}

std::string AsciiOrRefused(const std::wstring &text) {
    std::string narrow;
    narrow.reserve(text.size());
    for (wchar_t c : text) narrow += (c >= 0x20 && c < 0x7F) ? static_cast<char>(c) : '\x7F';
    return narrow;
}

void ApplyAdministratorSettings() {
    // The user's own variables (HKCU\Environment) reach an elevated program too.
    for (const wchar_t *name : {L"DRAVLIN_CA_FILE", L"DRAVLIN_QUERY_TIMEOUT_MS", L"DRAVLIN_STALL_TIMEOUT_S",
                                L"HALDEN_IMAGE_URL", L"HALDEN_COMMAND_LIMIT_MS"}) {
        SetEnvironmentVariableW(name, nullptr);  // fails only for a variable that is not set
    }
    const std::wstring caFile = PolicyValue(L"CaFile");
    // The engine reads its authority file from this process's environment at every run.
    if (!caFile.empty()) SetEnvironmentVariableW(L"DRAVLIN_CA_FILE", caFile.c_str());
}

void SetCommandLineImageUrl(std::string url) { commandLineImageUrl = std::move(url); }

void SetCommandLineImageSha256(std::string sha256) { commandLineImageSha256 = std::move(sha256); }

std::string ChosenImageSha256() {
    if (!commandLineImageSha256.empty()) return commandLineImageSha256;
    const std::wstring policy = PolicyValue(L"ImageSha256");
    if (policy.empty()) return {};
    const std::string sha256 = CanonicalSha256(policy);
    if (!sha256.empty()) return sha256;
    WriteProgramRecord(L"策略 ImageSha256 不是 64 位十六进制的 SHA-256，任何镜像文件都不会通过校验 " + policy);
    return "(" + AsciiOrRefused(policy) + ")";
}

std::string ChosenImageUrl() {
    if (!commandLineImageUrl.empty()) return commandLineImageUrl;
    bool refused = false;
    const std::string policyUrl = AsciiOrRefused(PolicyValue(L"ImageUrl"));
    std::string url = ChooseImageUrl(policyUrl.c_str(), refused);
    if (refused) WriteProgramRecord(L"策略 ImageUrl 不是可用的下载地址，改用默认地址");
    return url;
}
