// Test support: the simulated sharing service without a World, on the test's own thread. The
// rig is the service's host (faults by operation with a count, calls and events kept in
// order) and builds a Platform that holds the service, a per-thread kernel and a COM runtime
// that counts its initialisations. Single thread.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "ThreadKernel.h"
#include "tethra/platform/ComPtr.h"
#include "tethra/platform/Platform.h"
#include "tethra/sim/Faults.h"
#include "tethra/sim/ProcessParts.h"
#include "tethra/sim/ics/SimSharingService.h"

namespace tethra::ics::test {

inline constexpr platform::HResult kFail{0x80004005u};

// The GUIDs of the rig's connections: Gid(n) is the n-th one.
platform::Guid Gid(std::uint8_t n);
sim::SimConnectionConfig Connection(std::uint8_t n, std::u16string name, std::u16string device,
                                    sim::SimSharingRole role = sim::SimSharingRole::Off);

class CountingCom final : public platform::IComRuntime {
 public:
  platform::HResult coInitializeEx(platform::Dword) override { return next(); }
  platform::HResult coInitialize() override { return next(); }
  void coUninitialize() override { ++uninitialised; }
  // Records the levels asked for; answers `securityAnswer`.
  platform::HResult coInitializeSecurity(platform::Dword authnLevel, platform::Dword impLevel,
                                         platform::Dword capabilities) override {
    securityCalls.push_back({authnLevel, impLevel, capabilities});
    return securityAnswer;
  }
  struct SecurityCall {
    platform::Dword authnLevel;
    platform::Dword impLevel;
    platform::Dword capabilities;
  };
  platform::HResult answer = platform::kS_OK;
  platform::HResult securityAnswer = platform::kS_OK;
  std::vector<SecurityCall> securityCalls;
  int initialised = 0;
  int uninitialised = 0;

 private:
  platform::HResult next() {
    ++initialised;
    return answer;
  }
};

class SharingRig final : private sim::ISharingServiceHost {
 public:
  explicit SharingRig(sim::SimSharingConfig config);
  SharingRig(const SharingRig&) = delete;
  SharingRig& operator=(const SharingRig&) = delete;
  ~SharingRig() override = default;

  // The next `times` calls of `operation` fail with `code` (-1: every call). "ics-grow" with
  // `grow` instead.
  void fail(const std::string& operation, platform::HResult code, int times = -1);
  void grow(int times = 1) { m_Faults.add(sim::FaultRule{"ics-grow", "", 0, -1, times}); }

  sim::SimSharingService& service() { return m_Service; }
  // The connection manager's enumeration of the connections, at its start, as the program asks
  // for it; the first failure on the way, or S_OK.
  platform::HResult enumerateConnections(platform::ComPtr<platform::IEnumNetConnection>& enumerator);
  const platform::Platform& platform() const { return m_Parts.platform(); }
  CountingCom& com() { return m_Com; }
  wlan::test::ThreadKernel& kernel() { return m_Kernel; }
  platform::ITrace& trace() { return m_Trace; }
  std::uint64_t calls(const std::string& operation) const { return m_Service.callCount(operation); }
  // The operations called since the last mark, in order.
  std::vector<std::string> callsSinceMark() const;
  void mark() { m_Mark = m_Calls.size(); }
  const std::vector<std::string>& events() const { return m_Events; }

 private:
  void recordCall(std::string_view operation, std::string_view arguments, std::string_view result) override;
  std::optional<std::int64_t> takeFault(std::string_view area, std::string_view operation) override;
  void event(std::string text) override { m_Events.push_back(std::move(text)); }

  wlan::test::ThreadKernel m_Kernel;
  CountingCom m_Com;
  tethra::test::DiscardingTrace m_Trace;
  sim::SimSharingService m_Service;
  sim::ProcessParts m_Parts;
  sim::FaultPlan m_Faults;
  std::vector<std::string> m_Calls;
  std::size_t m_Mark = 0;
  std::vector<std::string> m_Events;
};

}  // namespace tethra::ics::test
