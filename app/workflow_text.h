#pragma once
// The workflow's outcomes: how the download engine's endings map to the main window's results,
// and what the user is told and what is logged for each. Pure, so it is tested natively.

// WM_DOWNLOAD_RESULT's value for an engine ending: 1 image complete, 3 to 7 failures, 0 unknown.
unsigned DownloadResultFor(int endCode);

// The prompt of a WM_DOWNLOAD_RESULT or WM_INSTALL_RESULT value; null when there is none.
const wchar_t *DownloadResultPrompt(unsigned result);
const wchar_t *InstallResultPrompt(unsigned result);
// The log record written after the install prompt; null when none is written.
const wchar_t *InstallResultRecord(unsigned result);

// Texts the main window shows.
extern const wchar_t kRemovalDoneQuestion[];
extern const wchar_t kRestartRefusedText[];
extern const wchar_t kNoRoomText[];
// An image of an earlier attempt that cannot be deleted (another program holds it open).
extern const wchar_t kOldImageStaysText[];
extern const wchar_t kRemovalFailedText[];
extern const wchar_t kMountFailedText[];
extern const wchar_t kNoSetupText[];
extern const wchar_t kUnsignedSetupText[];
