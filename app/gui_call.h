// Running code on the GUI thread from another thread.
#pragma once

#include <functional>

// Runs `fn` on the GUI thread and returns true once it has run (at once, on the GUI thread
// itself). From another thread it waits for the GUI thread, unless calls are refused: then it
// returns false without running `fn`, or true at once if `fn` has begun, so that a thread
// waiting on the GUI never holds up a close. A `fn` that can still be running then (one that
// runs an event loop, such as a box) must own everything it uses.
bool RunOnGuiThread(std::function<void()> fn);

// The window's close path refuses calls (and releases every waiting thread) before it joins
// the threads that might wait; a new main window accepts them again.
void RefuseGuiCalls();
void AcceptGuiCalls();
