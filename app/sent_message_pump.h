#pragma once
// Runs a call that waits for threads which may themselves be waiting in SendMessage to this thread
// (the download engine's ReleaseCurl waits for callbacks under way, and the callbacks send to the
// main window). The call runs on a helper thread while this thread answers only the messages sent
// to it; queued input and paint messages wait.
void CallAnsweringSentMessages(void (*call)());
