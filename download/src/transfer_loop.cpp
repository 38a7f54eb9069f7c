#include "transfer_loop.h"

namespace dravlin {

CURLcode PerformInterruptibly(CURLM *multi, CURL *easy, const std::function<bool()> &abort,
                              const std::function<bool()> &paused, const std::function<void()> &afterPass) {
    if (curl_multi_add_handle(multi, easy) != CURLM_OK) return CURLE_OUT_OF_MEMORY;
    CURLcode result = CURLE_OK;
    bool receivePaused = false;
    for (;;) {
        if (abort()) {
            result = CURLE_ABORTED_BY_CALLBACK;
            break;
        }
        bool wantPaused = paused && paused();
        if (wantPaused != receivePaused) {
            // Failure leaves the transfer as it was; the next pass tries again.
            if (curl_easy_pause(easy, wantPaused ? CURLPAUSE_RECV : CURLPAUSE_CONT) == CURLE_OK)
                receivePaused = wantPaused;
        }
        int running = 0;
        const CURLMcode performed = curl_multi_perform(multi, &running);
        if (afterPass) afterPass();
        if (performed != CURLM_OK) {
            result = CURLE_OUT_OF_MEMORY;
            break;
        }
        if (running == 0) {
            int left = 0;
            result = CURLE_RECV_ERROR;  // replaced by the handle's own result below
            while (CURLMsg *message = curl_multi_info_read(multi, &left)) {
                if (message->msg == CURLMSG_DONE && message->easy_handle == easy) result = message->data.result;
            }
            break;
        }
        // libcurl shortens the wait to its own next timeout; a wake-up ends it at once.
        if (curl_multi_poll(multi, nullptr, 0, 1000, nullptr) != CURLM_OK) {
            result = CURLE_OUT_OF_MEMORY;
            break;
        }
    }
    curl_multi_remove_handle(multi, easy);
    return result;
}

}  // namespace dravlin
