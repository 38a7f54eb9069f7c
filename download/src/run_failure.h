#pragma once
#include <curl/curl.h>

#include <string>

#include "dravlin.h"

namespace dravlin {

// The cause behind a run's ending, as GetDownloadFailure hands it out.
struct RunFailure {
    DownloadFailureKind kind = DownloadNoFailure;
    long httpStatus = 0;
    CURLcode curlCode = CURLE_OK;
    long retryAfterSeconds = -1;
    std::string text;
};

// What a request learned from its response headers, for the failure it may end in.
struct ResponseNotes {
    long status = 0;
    std::string statusLine;   // "404 Not Found": the last response's status line without its version
    long retryAfterSeconds = -1;
};
// Takes one header line as libcurl delivers it; each response starts with its status line.
void TakeResponseLine(const char *line, std::size_t length, ResponseNotes &notes);

// The failure of a request that libcurl ended with result (not CURLE_OK, not an abort of ours).
// httpStatus and proxyStatus are the server's and a tunnelling proxy's answers (0 for none); errorText
// is libcurl's error buffer, possibly empty; https says whether the task's address was; osError is
// the system's error number of the failed connection, 0 if none.
RunFailure FailureOfRequest(CURLcode result, long httpStatus, long proxyStatus, const ResponseNotes &notes,
                            const char *errorText, bool https, long osError);

RunFailure Failure(DownloadFailureKind kind, const std::string &text);

bool WorthRetrying(DownloadFailureKind kind);

void CopyOut(const RunFailure &failure, DownloadFailure &out);

}  // namespace dravlin
