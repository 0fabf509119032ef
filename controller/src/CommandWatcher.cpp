// The watcher loop over the settings key's "Action" value.
#include "tethra/controller/CommandWatcher.h"

#include <string>

#include "tethra/base/AsciiCase.h"
#include "tethra/controller/SettingsKey.h"
#include "tethra/controller/SettingsStore.h"
#include "tethra/platform/Handle.h"

namespace tethra::controller {

namespace {

constexpr char16_t kActionValue[] = u"Action";

bool WriteEmptyAction(platform::IRegistry& registry, platform::Hkey key) {
  const char16_t empty[1] = {u'\0'};
  return registry.regSetValueEx(key, kActionValue, platform::kREG_SZ, reinterpret_cast<const std::uint8_t*>(empty),
                                sizeof empty) == platform::kERROR_SUCCESS;
}

bool Contains(std::u16string_view lowered, std::u16string_view word) {
  return lowered.find(word) != std::u16string_view::npos;
}

}  // namespace

Command ParseAction(std::u16string_view action) {
  const std::u16string lowered = base::ToLowerAscii(action);
  if (Contains(lowered, u"close")) return Command::Close;
  if (Contains(lowered, u"ssid")) return Command::Ssid;
  return Command::None;
}

void WatchCommands(platform::IKernel& kernel, platform::IRegistry& registry, std::atomic<platform::Handle>& event,
                   const CommandHandlers& handlers) {
  const platform::Handle wakeUp = kernel.createEvent(false, false);
  event = wakeUp;

  const platform::UniqueRegKey key = CreateSettingsKey(kernel, registry);
  if (!key) return;
  if (!WriteEmptyAction(registry, key.get())) return;

  // The notification is armed again as soon as the watcher wakes, before it reads "Action":
  // a write either comes before the arming, and the read sees it, or after it, and wakes the
  // watcher once more; none falls between a read and the next arming. The watcher's own
  // emptying costs one more wake-up that finds nothing to do.
  auto arm = [&registry, &key, wakeUp] {
    // Best effort: an arming that fails leaves the watcher to the close, which still wakes it.
    static_cast<void>(
        registry.regNotifyChangeKeyValue(key.get(), false, platform::kREG_NOTIFY_CHANGE_LAST_SET, wakeUp, true));
  };
  arm();
  for (;;) {
    if (handlers.closing()) break;
    kernel.waitForSingleObject(wakeUp, platform::kINFINITE);
    if (handlers.closing()) break;
    arm();

    std::u16string action;
    ReadTextValue(registry, key.get(), kActionValue, action);
    const Command command = ParseAction(action);
    if (command == Command::Close) {
      handlers.close();
      break;
    }
    if (command != Command::Ssid) continue;
    const bool emptied = WriteEmptyAction(registry, key.get());
    handlers.ssid(key.get());
    if (!emptied) {
      // Still there: it runs again only for a change that comes after it, and the command's
      // own writes are no such change.
      kernel.resetEvent(wakeUp);
      arm();
    }
  }
}

}  // namespace tethra::controller
