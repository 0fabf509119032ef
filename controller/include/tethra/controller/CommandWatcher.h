// The registry command channel: the controller writes a command into the settings key's
// "Action" value, and a watcher thread of the program waits for the change and carries it out.
//
// A command runs once: the watcher empties "Action" as soon as it takes an "ssid" command.
// Otherwise the program's own writes of "Current SSID" and "Current Key" (made when the
// renamed network reports itself) would wake the watcher while "Action" still said "ssid" and
// repeat the rename. A controller that writes "Action" again, even with the same text, changes
// it from empty, so every command it writes is carried out. When the emptying fails, the
// watcher waits for the next change, so the command it could not empty runs again only when
// something else is written. The registry has no read-and-clear: a controller write that lands
// exactly between the read and the emptying is overwritten.
//
// Threads: WatchCommands runs on the watcher thread and calls the handlers there; `closing`
// is read there and set by the program's other threads. Nothing is reported: when the key
// cannot be opened or the stale command cannot be emptied, the watcher ends at once.
#pragma once

#include <atomic>
#include <functional>
#include <string_view>

#include "tethra/platform/Kernel.h"
#include "tethra/platform/Registry.h"

namespace tethra::controller {

enum class Command { None, Close, Ssid };

// "close" or "ssid" anywhere in the text, in any case of ASCII letters; "close" wins.
Command ParseAction(std::u16string_view action);

struct CommandHandlers {
  std::function<bool()> closing;            // true once the program is ending
  std::function<void()> close;              // the watcher ends after it
  std::function<void(platform::Hkey)> ssid;  // gets the open settings key
};

// Creates the wake-up event and publishes it in `event` (left open when the watcher ends: the
// program may still signal it while closing), discards a command left from an earlier run,
// then carries out commands until "close" or until `closing` says so after a wake-up.
void WatchCommands(platform::IKernel& kernel, platform::IRegistry& registry, std::atomic<platform::Handle>& event,
                   const CommandHandlers& handlers);

}  // namespace tethra::controller
