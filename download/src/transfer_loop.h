#pragma once
#include <curl/curl.h>

#include <functional>

namespace dravlin {

// Runs one easy handle to its end on a multi handle of its own, so that another thread can wake
// the wait at once (curl_multi_wakeup) instead of the transfer noticing a request a second later.
// Between waits it asks abort whether to stop (the result is then CURLE_ABORTED_BY_CALLBACK) and
// paused whether the receiving side should be paused; pause and resume are applied here, on the
// transfer's own thread, because a libcurl handle must not be used from two threads at once.
// afterPass, when given, runs after every pass of libcurl's, before the wait: what the write
// callback was handed in that pass can be dealt with there.
CURLcode PerformInterruptibly(CURLM *multi, CURL *easy, const std::function<bool()> &abort,
                              const std::function<bool()> &paused,
                              const std::function<void()> &afterPass = nullptr);

}  // namespace dravlin
