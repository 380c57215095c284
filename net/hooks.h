// The one way the transport reaches the program above it: the shell fills
// this record when it makes the main window. Until then every member does
// nothing harmful, so sockets and TLS work on their own (in a test without a
// window): no worker is ever stopped and no message is dispatched.
#pragma once
#include <windows.h>

struct NetHooksRec {
    // True on a worker that is being stopped: its socket calls then fail at
    // once (as cancelled) and its data loops end, so that it unwinds through
    // its own code. Asked before every socket call, after every wait and
    // after every data block.
    bool (*safePoint)();
    // Dispatches the GUI thread's waiting messages while one of its socket
    // calls waits, so that its timers (the time-out) still fire. A quit
    // message is kept back: true, with its code, once one came; the wait
    // then stops dispatching and has repostQuit post it again when it ends,
    // for the message loop.
    bool (*pumpMessages)(WPARAM* quitCode);
    void (*repostQuit)(WPARAM quitCode);
};

extern NetHooksRec NetHooks;
