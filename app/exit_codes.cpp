#include "app/exit_codes.h"

#include "app/workflow_text.h"

int ExitCodeForPrompt(const std::wstring &prompt) {
    struct Pair {
        const wchar_t *prompt;
        int code;
    };
    const Pair pairs[] = {
        {InstallResultPrompt(1), kExitSuccess},
        // The removal was done, the restart was not: the distribution tool restarts.
        {kRestartRefusedText, kExitRestartRequired},
        {kNoRoomText, 112},               // ERROR_DISK_FULL
        {kOldImageStaysText, 32},         // ERROR_SHARING_VIOLATION
        {DownloadResultPrompt(3), 1231},  // ERROR_NETWORK_UNREACHABLE: the size query failed
        {DownloadResultPrompt(4), 29},    // ERROR_WRITE_FAULT: the image could not be saved
        {DownloadResultPrompt(5), 1236},  // ERROR_CONNECTION_ABORTED: the connection broke off
        {DownloadResultPrompt(7), 1223},  // ERROR_CANCELLED
        {kNoSetupText, 2},                // ERROR_FILE_NOT_FOUND: no setup on the image's drive
        {kUnsignedSetupText, 577},        // ERROR_INVALID_IMAGE_HASH: the setup's signature is refused
    };
    for (const Pair &pair : pairs) {
        if (pair.prompt && prompt == pair.prompt) return pair.code;
    }
    return kExitFatal;
}
