#include "proxy.h"

#include <cctype>
#include <cstdlib>

#include "settings.h"

namespace dravlin {
namespace {

std::string Lower(std::string text) {
    for (char &c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

std::string Upper(std::string text) {
    for (char &c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

bool IsSeparator(char c, bool commaToo) {
    return c == ';' || c == ' ' || c == '\t' || c == '\r' || c == '\n' || (commaToo && c == ',');
}

template <typename Each>
void ForEachEntry(const std::string &list, bool commaToo, Each each) {
    size_t at = 0;
    while (at < list.size()) {
        while (at < list.size() && IsSeparator(list[at], commaToo)) ++at;
        size_t end = at;
        while (end < list.size() && !IsSeparator(list[end], commaToo)) ++end;
        if (end > at && each(list.substr(at, end - at))) return;
        at = end;
    }
}

int DefaultPort(const std::string &scheme) { return scheme == "https" ? 443 : 80; }

bool AllDigits(const std::string &text) {
    if (text.empty() || text.size() > 5) return false;
    for (char c : text) {
        if (!std::isdigit(static_cast<unsigned char>(c))) return false;
    }
    return true;
}

// Splits "host:port", "[v6]:port" or "host" into its host and port text ("" when absent).
bool SplitHostPort(const std::string &text, std::string &host, std::string &port) {
    port.clear();
    if (!text.empty() && text[0] == '[') {
        size_t close = text.find(']');
        if (close == std::string::npos) return false;
        host = text.substr(1, close - 1);
        if (close + 1 < text.size()) {
            if (text[close + 1] != ':') return false;
            port = text.substr(close + 2);
        }
        return true;
    }
    size_t colon = text.find(':');
    if (colon != std::string::npos && text.find(':', colon + 1) == std::string::npos) {
        host = text.substr(0, colon);
        port = text.substr(colon + 1);
    } else {
        host = text;  // a bare IPv6 address, or no port
    }
    return true;
}

// One entry of a proxy list, as curl takes it; "" when it is nothing curl can use.
std::string CurlProxy(std::string entry) {
    std::string scheme = "http";
    size_t marker = entry.find("://");
    if (marker != std::string::npos) {
        scheme = Lower(entry.substr(0, marker));
        entry.erase(0, marker + 3);
        if (scheme != "http" && scheme != "https") return "";
    }
    while (!entry.empty() && entry.back() == '/') entry.pop_back();
    std::string host, port;
    if (!SplitHostPort(entry, host, port) || host.empty()) return "";
    // WinHTTP's default proxy port is 80; left out, curl would try 1080.
    if (port.empty()) port = std::to_string(DefaultPort(scheme));
    if (!AllDigits(port)) return "";
    const bool v6 = host.find(':') != std::string::npos;
    return scheme + "://" + (v6 ? "[" + host + "]" : host) + ":" + port;
}

// '*' matches any run of characters; case is ignored.
bool WildcardMatch(const std::string &pattern, const std::string &text) {
    size_t p = 0, t = 0, star = std::string::npos, resume = 0;
    while (t < text.size()) {
        if (p < pattern.size() && pattern[p] == '*') {
            star = p++;
            resume = t;
        } else if (p < pattern.size() && std::tolower(static_cast<unsigned char>(pattern[p])) ==
                                             std::tolower(static_cast<unsigned char>(text[t]))) {
            ++p;
            ++t;
        } else if (star != std::string::npos) {
            p = star + 1;
            t = ++resume;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*') ++p;
    return p == pattern.size();
}

bool EntryNames(std::string entry, const AddressParts &address) {
    if (Lower(entry) == "<local>") return address.host.find('.') == std::string::npos;
    if (entry[0] == '<') return false;  // other markers, such as <-loopback>, name no host
    size_t marker = entry.find("://");
    if (marker != std::string::npos) {
        if (Lower(entry.substr(0, marker)) != address.scheme) return false;
        entry.erase(0, marker + 3);
    }
    while (!entry.empty() && entry.back() == '/') entry.pop_back();
    std::string host, port;
    if (!SplitHostPort(entry, host, port) || host.empty()) return false;
    if (!port.empty() && port != "*" && (!AllDigits(port) || std::atoi(port.c_str()) != address.port)) return false;
    return WildcardMatch(host, address.host);
}

}  // namespace

bool SplitAddress(const std::string &url, AddressParts &parts) {
    size_t marker = url.find("://");
    if (marker == std::string::npos) return false;
    parts.scheme = Lower(url.substr(0, marker));
    size_t start = marker + 3;
    size_t end = url.find_first_of("/?#", start);
    std::string authority = url.substr(start, end == std::string::npos ? std::string::npos : end - start);
    size_t at = authority.rfind('@');
    if (at != std::string::npos) authority.erase(0, at + 1);
    std::string host, port;
    if (!SplitHostPort(authority, host, port) || host.empty()) return false;
    if (!port.empty() && !AllDigits(port)) return false;
    parts.host = Lower(host);
    parts.port = port.empty() ? DefaultPort(parts.scheme) : std::atoi(port.c_str());
    return true;
}

std::string ProxyForScheme(const std::string &proxyList, const std::string &scheme) {
    std::string forScheme, forAll;
    const std::string wanted = Lower(scheme);
    ForEachEntry(proxyList, false, [&](const std::string &entry) {
        size_t equals = entry.find('=');
        size_t marker = entry.find("://");
        if (equals != std::string::npos && (marker == std::string::npos || equals < marker)) {
            if (forScheme.empty() && Lower(entry.substr(0, equals)) == wanted)
                forScheme = CurlProxy(entry.substr(equals + 1));
        } else if (forAll.empty()) {
            forAll = CurlProxy(entry);
        }
        return !forScheme.empty();
    });
    return forScheme.empty() ? forAll : forScheme;
}

bool Bypassed(const std::string &bypassList, const AddressParts &address) {
    bool named = false;
    ForEachEntry(bypassList, true, [&](const std::string &entry) {
        named = EntryNames(entry, address);
        return named;
    });
    return named;
}

std::string ChooseProxy(const std::string &url, const std::string &proxyList, const std::string &bypassList) {
    AddressParts address;
    if (!SplitAddress(url, address)) return "";
    if (Bypassed(bypassList, address)) return "";
    return ProxyForScheme(proxyList, address.scheme);
}

std::string EnvironmentProxy(const std::string &scheme, const std::function<std::string(const char *)> &read) {
    const std::string name = Lower(scheme) + "_proxy";
    std::string value = read(name.c_str());
    // Upper-case HTTP_PROXY is left alone on purpose, as curl does: a CGI server sets it from a
    // request header.
    if (value.empty() && name != "http_proxy") value = read(Upper(name).c_str());
    if (value.empty()) value = read("all_proxy");
    if (value.empty()) value = read("ALL_PROXY");
    return value;
}

bool NoProxyNames(const std::string &noProxy, const std::string &host) {
    const std::string name = Lower(host);
    bool named = false;
    ForEachEntry(noProxy, true, [&](const std::string &listed) {
        std::string entry = Lower(listed);
        if (entry == "*") return named = true;
        if (!entry.empty() && entry[0] == '.') entry.erase(0, 1);
        if (entry.empty()) return false;
        named = name == entry || (name.size() > entry.size() && name.compare(name.size() - entry.size(), entry.size(), entry) == 0 &&
                                  name[name.size() - entry.size() - 1] == '.');
        return named;
    });
    return named;
}

bool HasCredentials(const std::string &proxy) {
    size_t marker = proxy.find("://");
    size_t start = marker == std::string::npos ? 0 : marker + 3;
    size_t end = proxy.find('/', start);
    return proxy.substr(start, end == std::string::npos ? std::string::npos : end - start).find('@') !=
           std::string::npos;
}

ProxyChoice ResolveProxy(const std::string &url) {
    ProxyChoice choice;
    AddressParts address;
    if (!SplitAddress(url, address)) return choice;  // refused input: no request is made
    std::string noProxy = EnvironmentValue("no_proxy");
    if (noProxy.empty()) noProxy = EnvironmentValue("NO_PROXY");
    if (NoProxyNames(noProxy, address.host)) return choice;
    choice.address = EnvironmentProxy(address.scheme, EnvironmentValue);
#ifdef _WIN32
    if (choice.address.empty()) {
        choice.fromSystem = true;
        choice.address = SystemProxy(url);
    }
#endif
    return choice;
}

void ApplyProxy(CURL *easy, const ProxyChoice &choice) {
    // Set even when empty: "" tells libcurl to go direct instead of reading the environment, and an
    // empty no-proxy list keeps it from reading no_proxy for the host a redirect names.
    curl_easy_setopt(easy, CURLOPT_PROXY, choice.address.c_str());
    curl_easy_setopt(easy, CURLOPT_NOPROXY, "");
    if (choice.address.empty()) return;
    if (HasCredentials(choice.address)) {
        // Whatever the proxy asks for, with the credentials its address carries (Basic included).
        curl_easy_setopt(easy, CURLOPT_PROXYAUTH, static_cast<long>(CURLAUTH_ANY));
        return;
    }
#ifdef _WIN32
    // The logged-on user, through Windows (SSPI): an empty user and password is libcurl's
    // "current user" form. Basic is left out: it would need a password we do not have.
    curl_easy_setopt(easy, CURLOPT_PROXYUSERPWD, ":");
    curl_easy_setopt(easy, CURLOPT_PROXYAUTH, static_cast<long>(CURLAUTH_NEGOTIATE | CURLAUTH_NTLM));
#endif
}

}  // namespace dravlin
