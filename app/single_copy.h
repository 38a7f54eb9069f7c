#pragma once
// One copy of the program at a time on the computer: two would download into the same image file,
// mount it twice and remove each other's files. A second copy (a double click too many, another
// user's session) brings the running one forward and ends.
#include <windows.h>

#include "platform/scoped_handle.h"

// Claims the program's place for as long as `claim` lives. False when another copy holds it; that
// copy has then been asked to come forward, unless bringForward is false (a run without windows
// has nobody to hand the screen to). True also when the system refuses to make the claim at all:
// the program then runs unguarded rather than not at all.
bool ClaimSingleCopy(ScopedHandle &claim, bool bringForward = true);

// A run without windows holds this for as long as `mark` lives, so that a window started beside it
// can tell the person why it does not come forward.
void MarkQuietCopy(ScopedHandle &mark);
// Another copy holds the mark: it runs without windows.
bool QuietCopyRunning();

// The message a second copy broadcasts to the running one's windows.
UINT ShowRunningCopyMessage();
