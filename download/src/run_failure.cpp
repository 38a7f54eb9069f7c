#include "run_failure.h"

#include "destination.h"

#include <cctype>
#include <cstdlib>
#include <cstring>
#include <ctime>

#ifdef _WIN32
#include <winsock2.h>
#else
#include <cerrno>
#endif

namespace dravlin {
namespace {

#ifdef _WIN32
constexpr long kConnectionRefused = WSAECONNREFUSED;
#else
constexpr long kConnectionRefused = ECONNREFUSED;
#endif

std::string Trimmed(const char *text, std::size_t length) {
    std::size_t begin = 0, end = length;
    while (begin < end && std::isspace(static_cast<unsigned char>(text[begin]))) ++begin;
    while (end > begin && std::isspace(static_cast<unsigned char>(text[end - 1]))) --end;
    return std::string(text + begin, end - begin);
}

// Seconds, or an HTTP date turned into seconds from now; -1 for anything else.
long RetryAfterSeconds(const std::string &value) {
    if (value.empty()) return -1;
    if (std::isdigit(static_cast<unsigned char>(value[0]))) {
        char *end = nullptr;
        long seconds = std::strtol(value.c_str(), &end, 10);
        return *end == '\0' && seconds >= 0 ? seconds : -1;
    }
    time_t when = curl_getdate(value.c_str(), nullptr);
    if (when == -1) return -1;
    time_t now = std::time(nullptr);
    return when > now ? static_cast<long>(when - now) : 0;
}

DownloadFailureKind KindOfStatus(long status) {
    if (status == 429) return DownloadTooManyRequests;
    if (status == 408) return DownloadTimedOut;
    if (status >= 500) return DownloadServerError;
    if (status >= 400) return DownloadHttpRefused;
    return DownloadBadResponse;
}

DownloadFailureKind KindOfResult(CURLcode result) {
    switch (result) {
    case CURLE_COULDNT_RESOLVE_HOST:
    case CURLE_COULDNT_RESOLVE_PROXY: return DownloadHostNotFound;
    case CURLE_COULDNT_CONNECT: return DownloadCannotConnect;
    case CURLE_OPERATION_TIMEDOUT: return DownloadTimedOut;
    case CURLE_RECV_ERROR:
    case CURLE_SEND_ERROR:
    case CURLE_PARTIAL_FILE:
    case CURLE_GOT_NOTHING: return DownloadConnectionBroken;
    case CURLE_SSL_CONNECT_ERROR:
    case CURLE_PEER_FAILED_VERIFICATION:
    case CURLE_SSL_CERTPROBLEM:
    case CURLE_SSL_CIPHER:
    case CURLE_SSL_CACERT_BADFILE:
    case CURLE_SSL_ISSUER_ERROR:
    case CURLE_SSL_CRL_BADFILE:
    case CURLE_SSL_PINNEDPUBKEYNOTMATCH:
    case CURLE_SSL_INVALIDCERTSTATUS:
    case CURLE_USE_SSL_FAILED: return DownloadTlsFailure;
    case CURLE_TOO_MANY_REDIRECTS:
    case CURLE_WEIRD_SERVER_REPLY:
    case CURLE_BAD_CONTENT_ENCODING:
    case CURLE_RANGE_ERROR: return DownloadBadResponse;
    case CURLE_WRITE_ERROR: return DownloadCannotSave;
    case CURLE_ABORTED_BY_CALLBACK: return DownloadCancelled;
    default: return DownloadOtherFailure;
    }
}

}  // namespace

void TakeResponseLine(const char *line, std::size_t length, ResponseNotes &notes) {
    std::string text = Trimmed(line, length);
    if (StartsWithNoCase(text, "http/")) {
        std::size_t space = text.find(' ');
        notes.statusLine = space == std::string::npos ? std::string() : Trimmed(text.c_str() + space, text.size() - space);
        notes.status = std::strtol(notes.statusLine.c_str(), nullptr, 10);
        notes.retryAfterSeconds = -1;
    } else if (StartsWithNoCase(text, "retry-after:")) {
        std::size_t skip = std::strlen("retry-after:");
        notes.retryAfterSeconds = RetryAfterSeconds(Trimmed(text.c_str() + skip, text.size() - skip));
    }
}

RunFailure Failure(DownloadFailureKind kind, const std::string &text) {
    RunFailure failure;
    failure.kind = kind;
    failure.text = text;
    return failure;
}

RunFailure FailureOfRequest(CURLcode result, long httpStatus, long proxyStatus, const ResponseNotes &notes,
                            const char *errorText, bool https, long osError) {
    RunFailure failure;
    failure.curlCode = result;
    failure.httpStatus = httpStatus;
    failure.retryAfterSeconds = notes.retryAfterSeconds;
    if (result == CURLE_HTTP_RETURNED_ERROR) {
        // A proxy that refuses a tunnel answers for itself, with no response of the server's.
        const bool fromProxy = httpStatus == 0 && proxyStatus > 0;
        if (fromProxy) failure.httpStatus = httpStatus = proxyStatus;
        failure.kind = KindOfStatus(httpStatus);
        // The server's own words when it gave a reason phrase, as curl and wget show them.
        std::string line = notes.status == httpStatus ? notes.statusLine : std::string();
        failure.text = (fromProxy ? "proxy: HTTP " : "HTTP ") + (line.empty() ? std::to_string(httpStatus) : line);
        return failure;
    }
    failure.kind = KindOfResult(result);
    // libcurl refuses a redirect to a scheme that is not allowed; for https that is the downgrade.
    if (result == CURLE_UNSUPPORTED_PROTOCOL && https) failure.kind = DownloadInsecureRedirect;
    failure.text = failure.kind == DownloadInsecureRedirect ? "refused a redirect from https:// to another scheme"
                   : errorText && errorText[0]           ? errorText
                                                         : curl_easy_strerror(result);
    if (osError == kConnectionRefused) failure.text = "connection refused: " + failure.text;
    return failure;
}

bool WorthRetrying(DownloadFailureKind kind) {
    switch (kind) {
    case DownloadHostNotFound:
    case DownloadCannotConnect:
    case DownloadTimedOut:
    case DownloadConnectionBroken:
    case DownloadStalled:
    case DownloadServerError:
    case DownloadTooManyRequests: return true;
    default: return false;
    }
}

void CopyOut(const RunFailure &failure, DownloadFailure &out) {
    out.kind = failure.kind;
    out.retryAdvice = WorthRetrying(failure.kind) ? DownloadWorthRetrying : DownloadNotWorthRetrying;
    out.httpStatus = failure.httpStatus;
    out.curlCode = failure.curlCode;
    out.retryAfterSeconds = failure.retryAfterSeconds;
    std::size_t n = failure.text.size() < sizeof out.text ? failure.text.size() : sizeof out.text - 1;
    // The server chooses part of the text (a reason phrase, a certificate's names): no control
    // character of its reaches a terminal that shows it.
    for (std::size_t i = 0; i < n; ++i) {
        unsigned char c = static_cast<unsigned char>(failure.text[i]);
        out.text[i] = c < 0x20 || c == 0x7f ? '?' : static_cast<char>(c);
    }
    out.text[n] = '\0';
}

}  // namespace dravlin
