#pragma once
// Why a run of the download failed, as the engine tells it (GetDownloadFailure): asked on the
// engine's transfer thread inside its ending callback, carried with the ending to the host, and
// from there into the record of the failure, the retry's decision and the prompt.
#include <string>

#include "dravlin.h"

struct EngineFailure {
    DownloadFailureKind kind = DownloadNoFailure;
    long httpStatus = 0;          // the last status the server answered with; 0: none
    long retryAfterSeconds = -1;  // the server's Retry-After; -1: none
    std::string text;             // the engine's, for people: may carry bytes the server chose

    // From what GetDownloadFailure filled in; a kind this program does not know is DownloadOtherFailure.
    static EngineFailure From(const DownloadFailure &failure);
};
