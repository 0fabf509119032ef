// hotspot-probe.exe: drives tethra.exe's own mobile hotspot adapter (CreateMobileHotspot)
// against whatever serves the runtime classes (under Wine: simhotspot.dll) and checks the
// adapter's contract from the outside: the manager of the profile asked for, by its adapter or
// by its name, and none for an unknown one; state and configuration read back; each operation
// completed exactly once and on another thread; a planted failure reported as such; a cancel
// that takes ending the operation as cancelled, one that does not leaving its outcome as it
// would have been, and a cancel after the end changing nothing; the start with a per-session
// configuration, which leaves the persistent configuration as it was, or its absence reported
// as such; network status changes relayed until unsubscribed and never after. (That a
// completion waits for the end of the call that began it is tested in
// tests/win32/HotspotRelayTest.cpp: seen from here, a completion that comes right as the call
// returns cannot be told from one that comes before.)
//
// usage: hotspot-probe.exe {ADAPTER-GUID} [ssid TEXT] [name TEXT] [session yes|no] [overlap yes|no]
//   ssid TEXT      the access point name the system holds at the start (checked when given)
//   name TEXT      a profile's name, to be selected by name as well
//   session yes|no whether the system offers the per-session start (default no)
//   overlap yes|no at the end, begin a stop while another is in flight, which the system does
//                  not allow (the test looks for the violation in the service's log; default no)
// The machine should plant, in this order: `fault hotspot start wifi-off times 1` (the first
// start ends with WiFiDeviceOff), `fault hotspot stop late 3000 times 1` (a stop that a cancel
// ends) and `fault hotspot stop late 1000 ignores-cancel times 1` (a stop that a cancel does
// not), and for `overlap yes` a third, `fault hotspot stop late 1000 times 1`, so that the
// second stop surely overlaps it. One `ok` or `FAILED` line per check; exit status 0 when every check held, 1 when one did
// not, 2 on bad arguments.
#include <windows.h>
#include <objbase.h>

#include <atomic>
#include <cstdio>
#include <cstring>
#include <cwchar>
#include <functional>
#include <memory>
#include <string>

#include "tethra/win32/Adapters.h"
#include "tethra/wine/ControlPipe.h"
#include "tethra/wine/WinHandle.h"

namespace {

namespace platform = tethra::platform;

using Operation = std::unique_ptr<platform::ITetheringOperation>;

int g_failures = 0;

void Check(bool held, const std::string& what) {
  std::printf("%s %s\n", held ? "ok    " : "FAILED", what.c_str());
  std::fflush(stdout);
  if (!held) ++g_failures;
}

std::string Hex(platform::HResult hr) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%08X", static_cast<unsigned>(platform::Raw(hr)));
  return text;
}

std::string Narrow(const std::u16string& text) {
  std::string out;
  for (char16_t c : text) out += c < 0x80 ? static_cast<char>(c) : '?';
  return out;
}

std::string StatusText(platform::TetheringStatus status) { return std::to_string(static_cast<int>(status)); }

// One completion: what it was given and on which thread.
struct Completion final : platform::ITetheringCompletion {
  const tethra::tools::WinHandle done = tethra::tools::MakeEvent(true);
  std::atomic<int> calls{0};
  DWORD thread = 0;
  platform::HResult result{};
  platform::TetheringStatus status{};
  void completed(platform::HResult r, platform::TetheringStatus s) override {
    if (++calls == 1) {
      thread = ::GetCurrentThreadId();
      result = r;
      status = s;
    }
    ::SetEvent(done.get());
  }
};

using Begin = std::function<platform::HResult(std::shared_ptr<Completion>, Operation*)>;

// Runs one operation (cancelled right after it began when `cancel`) and checks how its
// completion came. `operation` keeps the handle for later.
std::shared_ptr<Completion> Operate(const std::string& name, const Begin& begin, bool cancel = false,
                                    Operation* kept = nullptr) {
  auto completion = std::make_shared<Completion>();
  Operation operation;
  const platform::HResult hr = begin(completion, &operation);
  Check(hr == platform::kS_OK && operation, name + " begins with a handle: " + Hex(hr));
  if (hr != platform::kS_OK || !operation) return completion;
  if (cancel) operation->cancel();
  Check(::WaitForSingleObject(completion->done.get(), 5000) == WAIT_OBJECT_0, name + " completes within 5 s");
  ::Sleep(200);  // a second call would come now
  Check(completion->calls == 1, name + " completes exactly once (" + std::to_string(completion->calls) + ")");
  Check(completion->thread != ::GetCurrentThreadId(), name + " completes on another thread");
  if (kept != nullptr) {
    *kept = std::move(operation);
  } else {
    operation->close();  // the outcome is taken: closed before its last release
  }
  return completion;
}

struct Observer final : platform::INetworkChangeObserver {
  std::atomic<int> calls{0};
  const tethra::tools::WinHandle changed = tethra::tools::MakeEvent();
  void networkStatusChanged() override {
    ++calls;
    ::SetEvent(changed.get());
  }
};

bool SendHotspot(const std::string& request) {
  std::string answer;
  const bool sent = tethra::tools::SendControl(tethra::tools::kHotspotPipeName, request, answer, 5000);
  Check(sent && answer == "ok", "control " + request + ": " + answer);
  return sent && answer == "ok";
}

// What the probe sets: a band or authentication kind it does not give is the system's to choose.
bool SameNameAndKey(const platform::AccessPointConfig& a, const platform::AccessPointConfig& b) {
  return a.ssid == b.ssid && a.passphrase == b.passphrase;
}

bool IsState(platform::ITetheringManager& manager, platform::TetheringState wanted) {
  platform::TetheringState state = platform::TetheringState::Unknown;
  return manager.operationalState(&state) == platform::kS_OK && state == wanted;
}

// What the command line asks for.
struct Options {
  platform::Guid adapter;
  std::u16string wantedSsid;
  std::u16string profileName;
  bool checkSsid = false;
  bool sessionOffered = false;
  bool overlap = false;
};

bool ParseOptions(int argc, wchar_t** argv, Options& options) {
  GUID parsed{};
  if (argc < 2 || FAILED(::CLSIDFromString(argv[1], &parsed)) || argc % 2 != 0) return false;
  std::memcpy(static_cast<void*>(&options.adapter), &parsed, sizeof options.adapter);
  for (int i = 2; i + 1 < argc; i += 2) {
    const std::wstring option = argv[i];
    const std::u16string value(argv[i + 1], argv[i + 1] + std::wcslen(argv[i + 1]));
    if (option == L"ssid") {
      options.wantedSsid = value;
      options.checkSsid = true;
    } else if (option == L"name") {
      options.profileName = value;
    } else if (option == L"session" && (value == u"yes" || value == u"no")) {
      options.sessionOffered = value == u"yes";
    } else if (option == L"overlap" && (value == u"yes" || value == u"no")) {
      options.overlap = value == u"yes";
    } else {
      return false;
    }
  }
  return true;
}

// The manager of the profile asked for, by its adapter or by its name, and none for an
// unknown one. Returns the adapter's manager (none when it cannot be made).
std::unique_ptr<platform::ITetheringManager> CheckProfileSelection(platform::IMobileHotspot& hotspot,
                                                                   const Options& options) {
  std::unique_ptr<platform::ITetheringManager> none;
  platform::Guid unknown = options.adapter;
  unknown.Data1 ^= 0xFFFFFFFFu;
  const platform::HResult missing = hotspot.createManager({unknown, u""}, &none);
  Check(missing == platform::kHotspotNoProfile && !none, "no manager for an unknown adapter: " + Hex(missing));
  const platform::HResult missingName = hotspot.createManager({platform::Guid{}, u"No Such Connection"}, &none);
  Check(missingName == platform::kHotspotNoProfile && !none, "no manager for an unknown name: " + Hex(missingName));
  if (!options.profileName.empty()) {
    std::unique_ptr<platform::ITetheringManager> byName;
    const platform::HResult named = hotspot.createManager({platform::Guid{}, options.profileName}, &byName);
    Check(named == platform::kS_OK && byName, "a manager by the profile's name \"" + Narrow(options.profileName) +
                                                  "\": " + Hex(named));
  }
  std::unique_ptr<platform::ITetheringManager> manager;
  const platform::HResult created = hotspot.createManager({options.adapter, u""}, &manager);
  Check(created == platform::kS_OK && manager, "the adapter's manager: " + Hex(created));
  return manager;
}

// State and configuration read back, and the configuration the probe sets. Returns what it set.
platform::AccessPointConfig CheckConfiguration(platform::ITetheringManager& manager, const Options& options) {
  Check(IsState(manager, platform::TetheringState::Off), "state off at the start");
  platform::AccessPointConfig config;
  const platform::HResult read = manager.currentConfiguration(&config);
  Check(read == platform::kS_OK && (!options.checkSsid || config.ssid == options.wantedSsid),
        "configuration read: \"" + Narrow(config.ssid) + "\" \"" + Narrow(config.passphrase) + "\"");

  const platform::AccessPointConfig wanted{u"Probe \u00C9t\u00E9", u"probe-passphrase"};
  const auto configured =
      Operate("configure", [&](auto c, Operation* op) { return manager.configure(wanted, c, op); });
  Check(configured->result == platform::kS_OK, "configure succeeds: " + Hex(configured->result));
  platform::AccessPointConfig after;
  const platform::HResult reread = manager.currentConfiguration(&after);
  Check(reread == platform::kS_OK && SameNameAndKey(after, wanted), "the new configuration is read back: \"" + Narrow(after.ssid) + "\"");
  return wanted;
}

// The planted failed start, then a start seen by the observer and a client joining it.
void CheckStart(platform::ITetheringManager& manager, Observer& observer) {
  const auto refused = Operate("start (faulted)", [&](auto c, Operation* op) { return manager.start(c, op); });
  Check(refused->result == platform::kS_OK && refused->status == platform::TetheringStatus::WiFiDeviceOff,
        "the planted start fault ends as WiFiDeviceOff: " + Hex(refused->result) + " status " +
            StatusText(refused->status));

  const int changesBefore = observer.calls;
  const auto started = Operate("start", [&](auto c, Operation* op) { return manager.start(c, op); });
  Check(started->result == platform::kS_OK && started->status == platform::TetheringStatus::Success,
        "start succeeds: " + Hex(started->result) + " status " + StatusText(started->status));
  Check(IsState(manager, platform::TetheringState::On), "state on");
  ::WaitForSingleObject(observer.changed.get(), 2000);
  Check(observer.calls > changesBefore, "the start is seen as a network status change");
  std::uint32_t clients = 99;
  if (SendHotspot("client join")) {
    const platform::HResult counted = manager.clientCount(&clients);
    Check(counted == platform::kS_OK && clients == 1, "one client after a join (" + std::to_string(clients) + ")");
  }
}

// The two planted late stops: a cancel that takes, one that does not, and one after the end.
void CheckCancelledStops(platform::ITetheringManager& manager) {
  // The first stop would end well only after 3 s: the cancel comes first and takes.
  const auto cancelled =
      Operate("stop (late, cancelled)", [&](auto c, Operation* op) { return manager.stop(c, op); }, true);
  Check(cancelled->result == platform::kHotspotCancelled,
        "the cancelled stop ends as cancelled: " + Hex(cancelled->result));
  Check(IsState(manager, platform::TetheringState::On), "still on after the cancelled stop");

  // The second stop ignores a cancel: it ends as it would have, a second after it began.
  Operation ended;
  const auto uncancelled = Operate(
      "stop (late, ignores the cancel)", [&](auto c, Operation* op) { return manager.stop(c, op); }, true, &ended);
  Check(uncancelled->result == platform::kS_OK && uncancelled->status == platform::TetheringStatus::Success,
        "a cancel that does not take leaves the outcome as it was: " + Hex(uncancelled->result) + " status " +
            StatusText(uncancelled->status));
  Check(IsState(manager, platform::TetheringState::Off), "state off again");
  if (ended) {
    ended->cancel();
    ::Sleep(300);
    Check(uncancelled->calls == 1 && IsState(manager, platform::TetheringState::Off),
          "a cancel after the end changes nothing");
    ended->close();
  }
}

// The start with a per-session configuration where the system offers it (the persistent one
// `wanted` stays as it was), its refusal where not.
void CheckSessionStart(platform::ITetheringManager& manager, const Options& options,
                       const platform::AccessPointConfig& wanted) {
  const platform::AccessPointConfig session{u"Probe Session", u"session-passphrase"};
  if (!options.sessionOffered) {
    auto completion = std::make_shared<Completion>();
    Operation operation;
    const platform::HResult hr = manager.startWithSessionConfiguration(session, completion, &operation);
    Check(hr == platform::kHotspotNoSessionStart && !operation, "no session start on this system: " + Hex(hr));
    ::Sleep(200);
    Check(completion->calls == 0, "and no completion for it");
    return;
  }
  const auto sessionStarted = Operate("start with a session configuration", [&](auto c, Operation* op) {
    return manager.startWithSessionConfiguration(session, c, op);
  });
  Check(sessionStarted->result == platform::kS_OK && sessionStarted->status == platform::TetheringStatus::Success,
        "the session start succeeds: " + Hex(sessionStarted->result) + " status " +
            StatusText(sessionStarted->status));
  Check(IsState(manager, platform::TetheringState::On), "state on with the session configuration");
  platform::AccessPointConfig persistent;
  Check(manager.currentConfiguration(&persistent) == platform::kS_OK && SameNameAndKey(persistent, wanted),
        "the persistent configuration stays as it was: \"" + Narrow(persistent.ssid) + "\"");
  const auto stopped = Operate("stop", [&](auto c, Operation* op) { return manager.stop(c, op); });
  Check(stopped->result == platform::kS_OK, "stop succeeds: " + Hex(stopped->result));
  Check(IsState(manager, platform::TetheringState::Off), "state off after the session");
}

// A stop begun while another is in flight: both end (the service logs the violation).
void CheckOverlappingStop(platform::ITetheringManager& manager) {
  auto first = std::make_shared<Completion>();
  auto second = std::make_shared<Completion>();
  Operation firstOperation;
  Operation secondOperation;
  const platform::HResult began = manager.stop(first, &firstOperation);
  const platform::HResult overlapping = manager.stop(second, &secondOperation);
  Check(began == platform::kS_OK, "a late stop begins: " + Hex(began));
  Check(::WaitForSingleObject(first->done.get(), 5000) == WAIT_OBJECT_0 &&
            (overlapping != platform::kS_OK || ::WaitForSingleObject(second->done.get(), 5000) == WAIT_OBJECT_0),
        "a stop begun while it was in flight (" + Hex(overlapping) + ") and the first both end");
  if (firstOperation) firstOperation->close();
  if (secondOperation) secondOperation->close();
}

// Network status changes relayed until unsubscribed (`token`) and never after.
void CheckNetworkChanges(platform::IMobileHotspot& hotspot, Observer& observer, std::int64_t token) {
  ::ResetEvent(observer.changed.get());
  const int beforeMachine = observer.calls;
  if (SendHotspot("network-change")) {
    Check(observer.calls > beforeMachine, "a machine's network change reaches the observer");
  }
  hotspot.unsubscribeNetworkChanges(token);
  const int atUnsubscribe = observer.calls;
  SendHotspot("network-change");
  ::Sleep(300);
  Check(observer.calls == atUnsubscribe, "nothing reaches the observer after unsubscribe");
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  Options options;
  if (!ParseOptions(argc, argv, options)) {
    std::fprintf(stderr, "usage: hotspot-probe.exe {ADAPTER-GUID} [ssid TEXT] [name TEXT] [session yes|no] "
                         "[overlap yes|no]\n");
    return 2;
  }

  const auto hotspot = tethra::win32::CreateMobileHotspot();
  Observer observer;
  std::int64_t token = 0;
  const platform::HResult subscribed = hotspot->subscribeNetworkChanges(observer, &token);
  Check(subscribed == platform::kS_OK, "subscribe: " + Hex(subscribed));

  const std::unique_ptr<platform::ITetheringManager> manager = CheckProfileSelection(*hotspot, options);
  if (!manager) return 1;
  const platform::AccessPointConfig wanted = CheckConfiguration(*manager, options);
  CheckStart(*manager, observer);
  CheckCancelledStops(*manager);
  CheckSessionStart(*manager, options, wanted);
  if (options.overlap) CheckOverlappingStop(*manager);
  CheckNetworkChanges(*hotspot, observer, token);

  std::printf("%s\n", g_failures == 0 ? "hotspot probe: every check held" : "hotspot probe: a check failed");
  return g_failures == 0 ? 0 : 1;
}
