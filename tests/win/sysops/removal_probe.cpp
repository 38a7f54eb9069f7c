// Runs the Office removal worker from wherever this program was copied to, so that the program
// folder can be one whose path has spaces. Exit code: the WM_UNINSTALL_RESULT value, 99 if none came.
#include <windows.h>

#include "sysops/system_ops.h"
#include "worker_harness.h"

int wmain() {
    MessageRecorder recorder;
    CSystemOps ops;
    if (!ops.Attach(recorder.Window()) || !ops.StartRemoveOffice()) return 98;
    if (!recorder.WaitFor(WM_UNINSTALL_RESULT, MessageRecorder::kAnyValue)) return 99;
    return static_cast<int>(recorder.Messages().back().second);
}
