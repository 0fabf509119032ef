// The mobile hotspot standing in: the setting that asks for it, its opening and its start's
// name and key.
#include "tethra/app/HotspotStandIn.h"

#include <optional>

#include "tethra/app/ConnectionKind.h"
#include "tethra/controller/SettingsKey.h"
#include "tethra/controller/SettingsStore.h"

namespace tethra::app {

namespace {
constexpr char16_t kUseMobileHotspot[] = u"UseMobileHotspot";
}  // namespace

bool CHotspotStandIn::Wanted() const {
  platform::Dword useHotspot = 0;
  return controller::ReadMachineDword(*m_Platform.kernel, *m_Platform.registry, controller::kSettingsKeyPath,
                                      kUseMobileHotspot, useHotspot) &&
         useHotspot == 1;
}

CHotspotStandIn::Opening CHotspotStandIn::Open(const ics::CIcsConnectionInfo* selected, platform::Hwnd dialog,
                                               HotspotEvents events) {
  if (m_AccessPoint != nullptr || !Wanted()) return Opening::NotUsed;
  // The hotspot shares the connection the controller named, as sharing would.
  if (selected == nullptr) {
    platform::TraceLine(*m_Platform.trace, "No connection to share over the mobile hotspot.");
    return Opening::NotUsed;
  }
  // A dial-up or VPN connection is known to sharing by its phone-book entry, and among the
  // system's profiles by its name; every other kind by its adapter.
  platform::ProfileSelector profile;
  if (base::EqualsNoCase(m_CommandLine, kShareRAS)) {
    profile.profileName = selected->m_strName;
  } else {
    profile.adapterId = selected->m_Guid;
  }
  auto hotspot = std::make_unique<wlan::CMobileHotspot>(*m_Platform.hotspot, *m_Platform.kernel, *m_Platform.windows,
                                                        *m_Platform.trace);
  const platform::HResult hr = hotspot->Open(profile, dialog);
  if (hr == platform::kHotspotNoProfile) return Opening::NoProfile;
  if (hr != platform::kS_OK) {
    platform::TraceLine(*m_Platform.trace, "The mobile hotspot is not available. Error code %x.", platform::Raw(hr));
    return Opening::NotUsed;
  }
  m_AccessPoint = std::make_unique<CHotspotAccessPoint>(std::move(hotspot), *m_Platform.kernel, *m_Platform.windows,
                                                        dialog, *m_Platform.trace, std::move(events));
  return Opening::Opened;
}

bool CHotspotStandIn::Prepare(const std::u16string& name, const std::u16string& key, bool keyGenerated,
                              platform::AccessPointConfig& inForce, platform::HResult& hr) {
  std::optional<platform::AccessPointConfig> wanted;
  if (!name.empty() && !key.empty() && !keyGenerated) wanted = platform::AccessPointConfig{name, key};
  hr = platform::kS_OK;
  return m_AccessPoint->Prepare(wanted, inForce, hr);
}

}  // namespace tethra::app
