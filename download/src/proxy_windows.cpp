// The system's proxy as WinHTTP resolves it. winhttp.dll is imported, so it comes from the system
// folder: the program loads the engine with the system folder as the only place for its imports.
#include <windows.h>
#include <winhttp.h>

#include <memory>
#include <string>

#include "proxy.h"

namespace dravlin {
namespace {

// WinHTTP's answers hold strings allocated with GlobalAlloc.
struct GlobalText {
    LPWSTR text = nullptr;
    GlobalText() = default;
    GlobalText(const GlobalText &) = delete;
    GlobalText &operator=(const GlobalText &) = delete;
    ~GlobalText() {
        if (text) GlobalFree(text);
    }
};

struct InternetDeleter {
    void operator()(void *handle) const { WinHttpCloseHandle(handle); }
};
using InternetHandle = std::unique_ptr<void, InternetDeleter>;

// Proxy names and bypass lists are plain ASCII in practice; UTF-8 keeps anything else intact.
std::string Narrow(LPCWSTR text) {
    if (!text || !*text) return "";
    int size = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    if (size <= 1) return "";
    std::string narrow(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, -1, &narrow[0], size, nullptr, nullptr);
    narrow.resize(static_cast<size_t>(size - 1));
    return narrow;
}

// The task's address is in the process's ANSI code page, as every string the engine is given.
std::wstring Wide(const std::string &text) {
    int size = MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, nullptr, 0);
    if (size <= 1) return L"";
    std::wstring wide(static_cast<size_t>(size), L'\0');
    MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, &wide[0], size);
    wide.resize(static_cast<size_t>(size - 1));
    return wide;
}

// What a configuration script (given, or found by auto-detection) says for url. False when there
// is no answer: no script found, or it could not be fetched or run.
bool ScriptProxy(const std::string &url, bool autoDetect, LPCWSTR scriptUrl, std::string &proxy) {
    InternetHandle session(WinHttpOpen(L"Dravlin", WINHTTP_ACCESS_TYPE_NO_PROXY, WINHTTP_NO_PROXY_NAME,
                                       WINHTTP_NO_PROXY_BYPASS, 0));
    if (!session) return false;
    // Fetching the script must not hold the run for WinHTTP's default of a minute and more.
    if (!WinHttpSetTimeouts(session.get(), 5000, 5000, 5000, 5000)) return false;
    WINHTTP_AUTOPROXY_OPTIONS options = {};
    if (autoDetect) {
        options.dwFlags |= WINHTTP_AUTOPROXY_AUTO_DETECT;
        options.dwAutoDetectFlags = WINHTTP_AUTO_DETECT_TYPE_DHCP | WINHTTP_AUTO_DETECT_TYPE_DNS_A;
    }
    if (scriptUrl && *scriptUrl) {
        options.dwFlags |= WINHTTP_AUTOPROXY_CONFIG_URL;
        options.lpszAutoConfigUrl = scriptUrl;
    }
    const std::wstring target = Wide(url);
    WINHTTP_PROXY_INFO info = {};
    // As WinHTTP's documentation advises: first without the user's credentials, then with them
    // for a script server that asks.
    BOOL resolved = WinHttpGetProxyForUrl(session.get(), target.c_str(), &options, &info);
    if (!resolved && GetLastError() == ERROR_WINHTTP_LOGIN_FAILURE) {
        options.fAutoLogonIfChallenged = TRUE;
        resolved = WinHttpGetProxyForUrl(session.get(), target.c_str(), &options, &info);
    }
    if (!resolved) return false;
    GlobalText list, bypass;
    list.text = info.lpszProxy;
    bypass.text = info.lpszProxyBypass;
    proxy = info.dwAccessType == WINHTTP_ACCESS_TYPE_NAMED_PROXY ? ChooseProxy(url, Narrow(list.text), Narrow(bypass.text))
                                                                 : std::string();
    return true;
}

}  // namespace

std::string SystemProxy(const std::string &url) {
    WINHTTP_CURRENT_USER_IE_PROXY_CONFIG user = {};
    if (WinHttpGetIEProxyConfigForCurrentUser(&user)) {
        GlobalText script, list, bypass;
        script.text = user.lpszAutoConfigUrl;
        list.text = user.lpszProxy;
        bypass.text = user.lpszProxyBypass;
        const bool hasScript = script.text && *script.text;
        std::string proxy;
        if ((user.fAutoDetect || hasScript) && ScriptProxy(url, user.fAutoDetect != FALSE, script.text, proxy))
            return proxy;
        // A script that cannot be had leaves the static setting, as browsers do.
        if (list.text && *list.text) return ChooseProxy(url, Narrow(list.text), Narrow(bypass.text));
        // A user who chose a script but cannot reach it goes direct; only auto-detection that finds
        // nothing counts as no setting at all.
        if (hasScript) return "";
    }
    // No setting of the user's (as for SYSTEM): WinHTTP's machine-wide one (netsh winhttp).
    WINHTTP_PROXY_INFO machine = {};
    if (!WinHttpGetDefaultProxyConfiguration(&machine)) return "";
    GlobalText list, bypass;
    list.text = machine.lpszProxy;
    bypass.text = machine.lpszProxyBypass;
    if (machine.dwAccessType != WINHTTP_ACCESS_TYPE_NAMED_PROXY) return "";
    return ChooseProxy(url, Narrow(list.text), Narrow(bypass.text));
}

}  // namespace dravlin
