// The simulated service's COM objects. Every operation is one recorded call; an armed
// `fault ics OPERATION` makes it fail before it has any effect.
#include "SimSharingObjects.h"

#include <string>

namespace tethra::sim {

namespace {
constexpr platform::HResult kCannotShare{0x80070032u};  // not supported
}

// --- Connection ---------------------------------------------------------------------------------

platform::HResult SimConnection::GetProperties(platform::NetconProperties** properties) {
  auto c = m_Service.call("properties", std::to_string(m_Index));
  if (properties == nullptr) return c.result(platform::kE_INVALIDARG);
  *properties = nullptr;
  TETHRA_SIM_RETURN_FAULT(c)
  return c.result(m_Service.properties(m_Index, properties));
}

platform::HResult SimConnection::Disconnect() {
  auto c = m_Service.call("disconnect", std::to_string(m_Index));
  TETHRA_SIM_RETURN_FAULT(c)
  m_Service.connectionEvent(m_Index, "disconnected");
  return c.result(platform::kS_OK);
}

platform::HResult SimConnection::Connect() {
  auto c = m_Service.call("connect", std::to_string(m_Index));
  TETHRA_SIM_RETURN_FAULT(c)
  m_Service.connectionEvent(m_Index, "connected");
  return c.result(platform::kS_OK);
}

// --- Sharing configuration -------------------------------------------------------------------

platform::HResult SimSharingConfiguration::get_SharingEnabled(platform::VariantBool* enabled) {
  auto c = m_Service.call("sharing-enabled", std::to_string(m_Index));
  if (enabled == nullptr) return c.result(platform::kE_INVALIDARG);
  TETHRA_SIM_RETURN_FAULT(c)
  *enabled = m_Service.sharingEnabled(m_Index) ? platform::kVARIANT_TRUE : platform::kVARIANT_FALSE;
  return c.result(platform::kS_OK);
}

platform::HResult SimSharingConfiguration::get_SharingConnectionType(std::int32_t* type) {
  auto c = m_Service.call("sharing-type", std::to_string(m_Index));
  if (type == nullptr) return c.result(platform::kE_INVALIDARG);
  TETHRA_SIM_RETURN_FAULT(c)
  switch (m_Service.role(m_Index)) {
    case SimSharingRole::Public:
      *type = platform::kICSSHARINGTYPE_PUBLIC;
      return c.result(platform::kS_OK);
    case SimSharingRole::Private:
      *type = platform::kICSSHARINGTYPE_PRIVATE;
      return c.result(platform::kS_OK);
    case SimSharingRole::Off:
      break;
  }
  return c.result(platform::kE_UNEXPECTED);  // a connection that is not shared has no side
}

platform::HResult SimSharingConfiguration::DisableSharing() {
  auto c = m_Service.call("disable", std::to_string(m_Index));
  if (auto fault = c.fault()) {
    m_Service.switchOffAsked(m_Index, true);
    return c.result(*fault);
  }
  // A connection that is gone keeps its sharing: nothing reaches it through the API.
  if (!m_Service.exists(m_Index)) return c.result(platform::kE_FAIL);
  m_Service.switchOffAsked(m_Index, false);
  m_Service.setRole(m_Index, SimSharingRole::Off);
  return c.result(platform::kS_OK);
}

platform::HResult SimSharingConfiguration::EnableSharing(std::int32_t type) {
  const bool isPublic = type == platform::kICSSHARINGTYPE_PUBLIC;
  const bool isPrivate = type == platform::kICSSHARINGTYPE_PRIVATE;
  auto c = m_Service.call(isPublic ? "enable-public" : isPrivate ? "enable-private" : "enable-other",
                          std::to_string(m_Index));
  if (!isPublic && !isPrivate) return c.result(platform::kE_INVALIDARG);
  TETHRA_SIM_RETURN_FAULT(c)
  // A connection that is gone but still shared keeps its side: nothing else can be shared until
  // it is back and switched off.
  if (!m_Service.exists(m_Index) || m_Service.sideHeldByAbsent(m_Index)) return c.result(platform::kE_FAIL);
  m_Service.switchOffAsked(m_Index, false);  // switched on again: its switch-off is due anew
  m_Service.setRole(m_Index, isPublic ? SimSharingRole::Public : SimSharingRole::Private);
  return c.result(platform::kS_OK);
}

// --- Every-connection enumeration ----------------------------------------------------------------

namespace {

// One step of either enumeration of connections: S_OK with the next one it lists, S_FALSE at
// the end. The sharing enumeration lists fewer than the connection manager (`forSharing`).
platform::HResult NextConnection(SimSharingService& service, const char* operation, bool forSharing,
                                 std::size_t& position, std::uint32_t count, platform::INetConnection** connection,
                                 std::uint32_t* fetched) {
  auto c = service.call(operation, std::to_string(position));
  if (count != 1 || connection == nullptr) return c.result(platform::kE_INVALIDARG);
  *connection = nullptr;
  if (fetched != nullptr) *fetched = 0;
  TETHRA_SIM_RETURN_FAULT(c)
  auto listed = [&service, forSharing](std::size_t i) {
    return forSharing ? service.listedForSharing(i) : service.exists(i);
  };
  while (position < service.connections().size() && !listed(position)) ++position;
  if (position >= service.connections().size()) return c.result(platform::kS_FALSE);
  *connection = new SimConnection(service, position++);
  if (fetched != nullptr) *fetched = 1;
  return c.result(platform::kS_OK);
}

}  // namespace

platform::HResult SimEveryConnectionEnum::Next(std::uint32_t count, platform::INetConnection** connection,
                                               std::uint32_t* fetched) {
  return NextConnection(m_Service, "next", true, m_Position, count, connection, fetched);
}

platform::HResult SimEveryConnectionEnum::Reset() {
  auto c = m_Service.call("reset");
  TETHRA_SIM_RETURN_FAULT(c)
  m_Service.maybeGrow();
  m_Position = 0;
  return c.result(platform::kS_OK);
}

platform::HResult SimEveryConnectionCollection::get__NewEnum(platform::IEnumNetSharingEveryConnection** enumerator) {
  auto c = m_Service.call("new-enum");
  return HandOut(c, enumerator, [this] { return new SimEveryConnectionEnum(m_Service); });
}

// --- Sharing manager -------------------------------------------------------------------------------

platform::HResult SimNetSharingManager::get_SharingInstalled(platform::VariantBool* installed) {
  auto c = m_Service.call("installed");
  if (installed == nullptr) return c.result(platform::kE_INVALIDARG);
  TETHRA_SIM_RETURN_FAULT(c)
  *installed = m_Service.installed() ? platform::kVARIANT_TRUE : platform::kVARIANT_FALSE;
  return c.result(platform::kS_OK);
}

platform::HResult SimNetSharingManager::get_EnumEveryConnection(
    platform::INetSharingEveryConnectionCollection** connections) {
  auto c = m_Service.call("enum");
  return HandOut(c, connections, [this] { return new SimEveryConnectionCollection(m_Service); });
}

platform::HResult SimNetSharingManager::get_INetSharingConfigurationForINetConnection(
    platform::INetConnection* connection, platform::INetSharingConfiguration** configuration) {
  auto c = m_Service.call("configuration");
  if (configuration == nullptr) return c.result(platform::kE_INVALIDARG);
  *configuration = nullptr;
  const auto* ours = dynamic_cast<const SimConnection*>(connection);
  if (ours == nullptr) {
    m_Service.misuse();
    return c.result(platform::kE_INVALIDARG);
  }
  c.arguments(std::to_string(ours->index()));
  TETHRA_SIM_RETURN_FAULT(c)
  if (!m_Service.connections()[ours->index()].supported) return c.result(kCannotShare);
  *configuration = new SimSharingConfiguration(m_Service, ours->index());
  return c.result(platform::kS_OK);
}

// --- Connection manager -----------------------------------------------------------------------------

platform::HResult SimNetConnectionEnum::Next(std::uint32_t count, platform::INetConnection** connection,
                                             std::uint32_t* fetched) {
  return NextConnection(m_Service, "enum-connections-next", false, m_Position, count, connection, fetched);
}

platform::HResult SimNetConnectionEnum::Reset() {
  auto c = m_Service.call("enum-connections-reset");
  m_Position = 0;
  return c.result(platform::kS_OK);
}

platform::HResult SimNetConnectionManager::EnumConnections(std::int32_t flags, platform::IEnumNetConnection** enumerator) {
  auto c = m_Service.call("enum-connections", "flags " + std::to_string(flags));
  return HandOut(c, enumerator, [this] { return new SimNetConnectionEnum(m_Service); });
}

}  // namespace tethra::sim
