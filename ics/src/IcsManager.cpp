// CIcsManager: creation, enumeration and reset of the sharing manager's records. The sharing
// operations on the records are in IcsManagerSharing.cpp. Dialog's thread only.
#include "tethra/ics/IcsManager.h"

#include <new>

#include "tethra/platform/Trace.h"

namespace tethra::ics {

void CIcsManager::ReleaseContents() {
  m_pConnections.reset();
  m_lNumConns = 0;
  m_pNetSharingManager.reset();
}

platform::HResult CIcsManager::ResetIcsManager() {
  TETHRA_CHECK_THREAD(m_Thread);
  ReleaseContents();
  return InitIcsManager();
}

platform::HResult CIcsManager::RefreshInstalled() {
  TETHRA_CHECK_THREAD(m_Thread);
  if (!m_pNetSharingManager) return platform::kE_UNEXPECTED;
  platform::VariantBool installed = platform::kVARIANT_FALSE;
  const platform::HResult hr = m_pNetSharingManager->get_SharingInstalled(&installed);
  if (platform::Succeeded(hr)) m_bInstalled = installed == platform::kVARIANT_TRUE;
  return hr;
}

platform::HResult CIcsManager::InitIcsManager() {
  TETHRA_CHECK_THREAD(m_Thread);
  if (m_pNetSharingManager) return platform::kE_UNEXPECTED;
  platform::HResult hr = m_Sharing.createNetSharingManager(
      platform::kCLSID_NetSharingManager, platform::kCLSCTX_ALL, m_pNetSharingManager.put());
  platform::TraceLine(m_Trace, "CIcsManager::InitIcsManager, CoCreateInstance Ret %x", platform::Raw(hr));
  TETHRA_RETURN_IF_FAILED(hr);
  if (!m_pNetSharingManager) return platform::kE_UNEXPECTED;  // a success that made no object
  TETHRA_RETURN_IF_FAILED(hr = RefreshInstalled());
  if (!m_bInstalled) return platform::kE_UNEXPECTED;

  platform::ComPtr<platform::INetSharingEveryConnectionCollection> collection;
  TETHRA_RETURN_IF_FAILED(hr = m_pNetSharingManager->get_EnumEveryConnection(collection.put()));
  if (!collection) return platform::kE_UNEXPECTED;  // a success without the object, as below
  platform::ComPtr<platform::IEnumNetSharingEveryConnection> enumerator;
  TETHRA_RETURN_IF_FAILED(hr = collection->get__NewEnum(enumerator.put()));
  if (!enumerator) return platform::kE_UNEXPECTED;

  std::int32_t count = 0;
  for (;;) {
    platform::ComPtr<platform::INetConnection> element;
    std::uint32_t fetched = 0;
    TETHRA_RETURN_IF_FAILED(hr = enumerator->Next(1, element.put(), &fetched));
    if (hr != platform::kS_OK) break;
    if (!element) return platform::kE_UNEXPECTED;
    ++count;
  }
  TETHRA_RETURN_IF_FAILED(hr = enumerator->Reset());
  if (count == 0) return platform::kS_OK;

  m_pConnections.reset(new (std::nothrow) CIcsConnection[static_cast<std::size_t>(count)]);
  if (m_pConnections == nullptr) return platform::kE_OUTOFMEMORY;
  m_lNumConns = count;
  return FillConnections(*enumerator.get());
}

platform::HResult CIcsManager::FillConnections(platform::IEnumNetSharingEveryConnection& enumerator) {
  for (std::int32_t position = 0;; ++position) {
    platform::ComPtr<platform::INetConnection> connection;
    std::uint32_t fetched = 0;
    platform::HResult hr = enumerator.Next(1, connection.put(), &fetched);
    TETHRA_RETURN_IF_FAILED(hr);
    if (hr != platform::kS_OK) return platform::kS_OK;
    // More connections than counted: the set grew between the passes.
    if (position >= m_lNumConns) return platform::kE_UNEXPECTED;
    if (!connection) return platform::kE_UNEXPECTED;
    TETHRA_RETURN_IF_FAILED(hr = m_pConnections[position].InitIcsConnection(this, connection.get(), position));
  }
}

}  // namespace tethra::ics
