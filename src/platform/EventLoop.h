#pragma once
// The one place where the program's own code re-enters the event loop, on the window's thread, while
// long work of its own goes on (a folder listed, a song measured, a download waited for).
//
// Inside it anything queued may run: clicks, key presses, timer ticks, queued results of other threads,
// second starts handing files over, even the window closing. A caller therefore holds no reference or
// index into a list across the call, and checks afterwards that what it works on is still wanted.

#include <QEventLoop>

// Runs the events waiting now (with WaitForMoreEvents: waits for at least one).
void yieldToEvents(QEventLoop::ProcessEventsFlags flags = QEventLoop::AllEvents);
// How many yieldToEvents() calls are running on this thread, one inside the other.
int yieldDepth();
