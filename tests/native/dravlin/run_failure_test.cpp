#include <gtest/gtest.h>

#include <cstring>

#include "run_failure.h"

using dravlin::ResponseNotes;
using dravlin::TakeResponseLine;

namespace {

void Take(ResponseNotes &notes, const char *line) { TakeResponseLine(line, std::strlen(line), notes); }

}  // namespace

// What a hostile server puts in its answer reaches the caller's text only as plain characters, cut
// to fit; Retry-After is read as seconds or as a date, and belongs to the response that sent it.
TEST(RunFailure, TheServersWordsAreToldPlainlyAndRetryAfterIsReadEitherWay) {
    ResponseNotes notes;
    Take(notes, "HTTP/1.1 503 Busy\x1b]0;owned\x07 now\r\n");
    Take(notes, "Retry-After: 120\r\n");
    dravlin::RunFailure failure = dravlin::FailureOfRequest(CURLE_HTTP_RETURNED_ERROR, 503, 0, notes, "", false, 0);
    EXPECT_EQ(DownloadServerError, failure.kind);
    EXPECT_EQ(120, failure.retryAfterSeconds);
    failure.text += std::string(1000, 'x');
    DownloadFailure out;
    dravlin::CopyOut(failure, out);
    EXPECT_EQ(0, std::strncmp(out.text, "HTTP 503 Busy?]0;owned? now", 27)) << out.text;
    EXPECT_EQ(sizeof out.text - 1, std::strlen(out.text));
    EXPECT_EQ(DownloadWorthRetrying, out.retryAdvice);

    Take(notes, "HTTP/1.1 429 Too Many Requests\r\n");
    EXPECT_EQ(-1, notes.retryAfterSeconds) << "a new response forgets the last one's";
    Take(notes, "retry-after: Wed, 21 Oct 2015 07:28:00 GMT\r\n");
    EXPECT_EQ(0, notes.retryAfterSeconds) << "a date gone by is now";
    Take(notes, "Retry-After: soon\r\n");
    EXPECT_EQ(-1, notes.retryAfterSeconds);
}
