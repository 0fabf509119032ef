// hotspot-probe.exe: drives tethra.exe's own mobile hotspot adapter (CreateMobileHotspot)
// against whatever serves the runtime classes (under Wine: simhotspot.dll) and checks the
// adapter's contract from the outside: the manager of the adapter asked for and none for an
// unknown one, state and configuration read back, each operation completed exactly once and on
// another thread, a planted failure reported as such, network status changes relayed until
// unsubscribed and never after. (That a completion waits for the end of the call that began it
// is tested in tests/win32/HotspotRelayTest.cpp: seen from here, a completion that comes right
// as the call returns cannot be told from one that comes before.)
//
// usage: hotspot-probe.exe {ADAPTER-GUID} [ssid TEXT]
//   ssid TEXT   the access point name the system holds at the start (checked when given)
// The machine should plant `fault hotspot start wifi-off times 1`: the first start ends with
// WiFiDeviceOff, the second succeeds. One `ok` or `FAILED` line per check; exit status 0 when
// every check held, 1 when one did not, 2 on bad arguments.
#include <windows.h>
#include <objbase.h>

#include <atomic>
#include <cstdio>
#include <cstring>
#include <cwchar>
#include <functional>
#include <memory>
#include <string>

#include "adapters.h"
#include "tools/common/control_pipe.h"

namespace {

namespace platform = tethra::platform;

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

// One completion: what it was given and on which thread.
struct Completion final : platform::ITetheringCompletion {
  HANDLE done = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
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
    ::SetEvent(done);
  }
};

// Runs one operation and checks how its completion came.
std::shared_ptr<Completion> Operate(const std::string& name,
                                    const std::function<platform::HResult(std::shared_ptr<Completion>)>& begin) {
  auto completion = std::make_shared<Completion>();
  const platform::HResult hr = begin(completion);
  Check(hr == platform::kS_OK, name + " begins: " + Hex(hr));
  if (hr != platform::kS_OK) return completion;
  Check(::WaitForSingleObject(completion->done, 5000) == WAIT_OBJECT_0, name + " completes within 5 s");
  ::Sleep(200);  // a second call would come now
  Check(completion->calls == 1, name + " completes exactly once (" + std::to_string(completion->calls) + ")");
  Check(completion->thread != ::GetCurrentThreadId(), name + " completes on another thread");
  return completion;
}

struct Observer final : platform::INetworkChangeObserver {
  std::atomic<int> calls{0};
  HANDLE changed = ::CreateEventW(nullptr, FALSE, FALSE, nullptr);
  void networkStatusChanged() override {
    ++calls;
    ::SetEvent(changed);
  }
};

bool SendHotspot(const std::string& request) {
  std::string answer;
  const bool sent = tethra::tools::SendControl(tethra::tools::kHotspotPipeName, request, answer, 5000);
  Check(sent && answer == "ok", "control " + request + ": " + answer);
  return sent && answer == "ok";
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  GUID parsed{};
  if (argc < 2 || FAILED(::CLSIDFromString(argv[1], &parsed))) {
    std::fprintf(stderr, "usage: hotspot-probe.exe {ADAPTER-GUID} [ssid TEXT]\n");
    return 2;
  }
  platform::Guid adapter;
  std::memcpy(static_cast<void*>(&adapter), &parsed, sizeof adapter);
  std::u16string wantedSsid;
  const bool checkSsid = argc >= 4 && std::wstring(argv[2]) == L"ssid";
  if (checkSsid) wantedSsid.assign(argv[3], argv[3] + std::wcslen(argv[3]));

  const auto hotspot = tethra::win32::CreateMobileHotspot();
  Observer observer;
  std::int64_t token = 0;
  const platform::HResult subscribed = hotspot->subscribeNetworkChanges(observer, &token);
  Check(subscribed == platform::kS_OK, "subscribe: " + Hex(subscribed));

  std::unique_ptr<platform::ITetheringManager> none;
  platform::Guid unknown = adapter;
  unknown.Data1 ^= 0xFFFFFFFFu;
  const platform::HResult missing = hotspot->createManager(unknown, &none);
  Check(missing == platform::kHotspotNoProfile && !none, "no manager for an unknown adapter: " + Hex(missing));

  std::unique_ptr<platform::ITetheringManager> manager;
  const platform::HResult created = hotspot->createManager(adapter, &manager);
  Check(created == platform::kS_OK && manager, "the adapter's manager: " + Hex(created));
  if (!manager) return 1;

  platform::TetheringState state = platform::TetheringState::Unknown;
  Check(manager->operationalState(&state) == platform::kS_OK && state == platform::TetheringState::Off,
        "state off at the start");
  platform::AccessPointConfig config;
  const platform::HResult read = manager->currentConfiguration(&config);
  Check(read == platform::kS_OK && (!checkSsid || config.ssid == wantedSsid),
        "configuration read: \"" + Narrow(config.ssid) + "\" \"" + Narrow(config.passphrase) + "\"");

  const platform::AccessPointConfig wanted{u"Probe \u00C9t\u00E9", u"probe-passphrase"};
  const auto configured =
      Operate("configure", [&](std::shared_ptr<Completion> c) { return manager->configure(wanted, c); });
  Check(configured->result == platform::kS_OK, "configure succeeds: " + Hex(configured->result));
  platform::AccessPointConfig after;
  const platform::HResult reread = manager->currentConfiguration(&after);
  Check(reread == platform::kS_OK && after == wanted, "the new configuration is read back: \"" + Narrow(after.ssid) + "\"");

  const auto refused = Operate("start (faulted)", [&](std::shared_ptr<Completion> c) { return manager->start(c); });
  Check(refused->result == platform::kS_OK && refused->status == platform::TetheringStatus::WiFiDeviceOff,
        "the planted start fault ends as WiFiDeviceOff: " + Hex(refused->result) + " status " +
            std::to_string(static_cast<int>(refused->status)));

  const int changesBefore = observer.calls;
  const auto started = Operate("start", [&](std::shared_ptr<Completion> c) { return manager->start(c); });
  Check(started->result == platform::kS_OK && started->status == platform::TetheringStatus::Success,
        "start succeeds: " + Hex(started->result) + " status " + std::to_string(static_cast<int>(started->status)));
  Check(manager->operationalState(&state) == platform::kS_OK && state == platform::TetheringState::On, "state on");
  ::WaitForSingleObject(observer.changed, 2000);
  Check(observer.calls > changesBefore, "the start is seen as a network status change");
  std::uint32_t clients = 99;
  if (SendHotspot("client join")) {
    const platform::HResult counted = manager->clientCount(&clients);
    Check(counted == platform::kS_OK && clients == 1, "one client after a join (" + std::to_string(clients) + ")");
  }

  const auto stopped = Operate("stop", [&](std::shared_ptr<Completion> c) { return manager->stop(c); });
  Check(stopped->result == platform::kS_OK, "stop succeeds: " + Hex(stopped->result));
  Check(manager->operationalState(&state) == platform::kS_OK && state == platform::TetheringState::Off,
        "state off again");

  ::ResetEvent(observer.changed);
  const int beforeMachine = observer.calls;
  if (SendHotspot("network-change")) {
    Check(observer.calls > beforeMachine, "a machine's network change reaches the observer");
  }
  hotspot->unsubscribeNetworkChanges(token);
  const int atUnsubscribe = observer.calls;
  SendHotspot("network-change");
  ::Sleep(300);
  Check(observer.calls == atUnsubscribe, "nothing reaches the observer after unsubscribe");

  std::printf("%s\n", g_failures == 0 ? "hotspot probe: every check held" : "hotspot probe: a check failed");
  return g_failures == 0 ? 0 : 1;
}
