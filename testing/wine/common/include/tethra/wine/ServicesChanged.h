// The one signal of the simulated services' activity: a named auto-reset event that every
// service log sets after each line it writes (a call recorded, a notification delivered, a
// change of the program's dialog seen by the dialog watch, a control request performed). The
// stand-in controller waits on it, beside its messages, its processes and its deadlines,
// instead of asking the program's dialog in a loop: an idle program is never woken by a test.
// Header only; any thread.
//
// Owner: each caller owns the handle it gets. One waiter (the controller): an auto-reset event
// loses no change, since whatever was written before a set is read after the wait it ends.
#pragma once

#include <windows.h>

namespace tethra::tools {

inline constexpr wchar_t kServicesChangedEvent[] = L"Local\\tethra-sim-services-changed";

// The event, made by whoever comes first; null when it cannot be had.
inline HANDLE OpenServicesChanged() { return ::CreateEventW(nullptr, FALSE, FALSE, kServicesChangedEvent); }

}  // namespace tethra::tools
