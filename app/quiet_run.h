#pragma once
// The run without windows (/quiet): the same workflow as the main window (app/workflow.h), driven
// from the command line. Its events are fed in order, its commands carried out without any window:
// a prompt becomes a log record and the run's exit code, the restart question is answered by the
// switches. The workers report to a message-only window of this thread, as they report to the main
// window.
#include <string>

#include "app/command_line.h"

// Runs the phase the marker calls for (both in one run when the removal found no Office), logging
// every step; returns the exit code (app/exit_codes.h).
int RunQuietly(const Switches &switches);
