// Test support: the sharing rig.
#include "SharingRig.h"

namespace tethra::ics::test {

platform::Guid Gid(std::uint8_t n) {
  return platform::Guid{0x5A1E0002, 0x0000, 0x4000, {0x80, 0x00, 0x00, 0x00, 0x00, 0x00, 0xE0, n}};
}

sim::SimConnectionConfig Connection(std::uint8_t n, std::u16string name, std::u16string device,
                                    sim::SimSharingRole role) {
  sim::SimConnectionConfig c;
  c.guid = Gid(n);
  c.name = std::move(name);
  c.deviceName = std::move(device);
  c.role = role;
  return c;
}

SharingRig::SharingRig(sim::SimSharingConfig config) : m_Service(*this, &m_Kernel, std::move(config)) {
  m_Parts.use(m_Kernel);
  m_Parts.use(m_Com);
  m_Parts.use(m_Service);
  m_Parts.use(m_Trace);
}

void SharingRig::fail(const std::string& operation, platform::HResult code, int times) {
  m_Faults.add(sim::FaultRule{"ics", operation, platform::Raw(code), -1, times});
}

std::vector<std::string> SharingRig::callsSinceMark() const {
  return std::vector<std::string>(m_Calls.begin() + static_cast<std::ptrdiff_t>(m_Mark), m_Calls.end());
}

void SharingRig::recordCall(std::string_view operation, std::string_view, std::string_view) {
  m_Calls.emplace_back(operation);
}

std::optional<std::int64_t> SharingRig::takeFault(std::string_view area, std::string_view operation) {
  const std::optional<sim::FaultRule> rule = m_Faults.take(area, operation);
  if (!rule) return std::nullopt;
  return rule->code;  // the host hands faults over as plain numbers
}

platform::HResult SharingRig::enumerateConnections(platform::ComPtr<platform::IEnumNetConnection>& enumerator) {
  platform::ComPtr<platform::INetConnectionManager> manager;
  const platform::HResult hr = m_Service.createNetConnectionManager(
      platform::kCLSID_ConnectionManager, platform::kCLSCTX_LOCAL_SERVER_NO_CODE_DOWNLOAD, manager.put());
  if (hr != platform::kS_OK) return hr;
  return manager->EnumConnections(0, enumerator.put());
}

}  // namespace tethra::ics::test
