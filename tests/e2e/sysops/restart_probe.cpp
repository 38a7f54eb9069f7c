// Asks for the forced restart and reports through its exit code and a file what happened:
// "requested" once RestartComputer returned true, "refused" when it returned false. A process
// the restart ends never reaches its own end.
#include <windows.h>

#include <cstdio>

#include "sysops/system_ops.h"

int wmain(int argc, wchar_t **argv) {
    if (argc < 2) return 2;
    CSystemOps ops;
    bool requested = ops.RestartComputer();
    if (FILE *result = _wfopen(argv[1], L"w")) {
        std::fputs(requested ? "requested\n" : "refused\n", result);
        std::fclose(result);
    }
    if (!requested) return 3;
    Sleep(60000);
    return 7;  // still here: nothing was restarted
}
