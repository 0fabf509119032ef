// CSharingSession: connection sharing as the program uses it. Whether it may be used at all
// (administrator rights and group policy, read once at start-up), the sharing manager, the
// connection list and the connections offered in the combo box (in the box's own order, each
// holding its own reference on its snapshot, so that the entry in use never points at a
// released snapshot when the list is replaced), whether sharing is wanted and whether it is
// on, and the reset of the hosted network's connection.
//
// Owner: the dialog (by value); the check box and the combo box it is given are the dialog's
// and only written here for display, with the one exception of the selection the user may
// make (none in practice: the window is hidden). Threads: the dialog's thread only.
// Codes: HRESULTs. Status codes for the controller ("ICS_FAILED", "NDIS_NOT_FOUND") and the
// notification log's lines go out through the reports given at construction.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "tethra/app/framework/Wnd.h"
#include "tethra/base/RefList.h"
#include "tethra/base/RefPtr.h"
#include "tethra/base/ThreadChecker.h"
#include "tethra/ics/IcsConnectionInfo.h"
#include "tethra/ics/IcsManager.h"
#include "tethra/platform/Platform.h"

namespace tethra::app {

class CSharingSession {
 public:
  struct Reports {
    std::function<void(const char16_t* code)> status;           // to the controller
    std::function<void(const std::u16string& line)> notice;     // to the notification log
  };
  CSharingSession(const platform::Platform& platform, CButton& enableCheck, CComboBox& connections,
                  Reports reports);
  ~CSharingSession();
  CSharingSession(const CSharingSession&) = delete;
  CSharingSession& operator=(const CSharingSession&) = delete;

  // The policy, once at start-up: true when sharing may be used. When not, its controls are
  // disabled and sharing is not wanted.
  bool ReadPolicy();
  bool Usable() const { return m_IsAdmin != 0 && m_Allowed; }
  bool IsAdmin() const { return m_IsAdmin != 0; }

  // Loads the network shell library and makes the manager, then reads the connections. A
  // thread already in a COM apartment (S_FALSE) is no failure, but leaves no manager.
  platform::HResult InitIcs();
  ics::CIcsManager* Manager() const { return m_Manager.get(); }

  // Reads the connections again; with the hosted network `started`, whether sharing is on for
  // its connection (`hostedGuid`). `refreshOffer` refills the combo box; false when it then
  // offers nothing (the connection the controller named is missing; "NDIS_NOT_FOUND" is sent).
  bool GetIcsInfo(bool started, const platform::Guid& hostedGuid, bool refreshOffer);
  // The first time the hosted network becomes available again: resets the manager; true when
  // the caller should read the connections again.
  bool RefreshOnce();

  // The user's check of "enable sharing".
  void SetNeeded(bool needed);
  bool Needed() const { return m_Needed; }
  bool Enabled() const { return m_Enabled; }
  void EnableControls() const;
  void DisableControls() const;

  // The offered connection the combo box has selected, if any.
  const ics::CIcsConnectionInfo* Selected() const { return m_Selected; }
  int OfferedCount() const { return static_cast<int>(m_Offered.size()); }
  ics::CIcsConnectionInfo* Offered(int index) const { return m_Offered.at(static_cast<std::size_t>(index)).get(); }

  // Shares the selected connection with the hosted network's (`privateGuid`), retrying;
  // `tried` tells whether sharing was attempted. UndoFailedStart puts the previous pair back.
  platform::HResult ShareHostedNetwork(const platform::Guid& privateGuid, bool& tried);
  platform::HResult StartIcsIfNeeded(const platform::Guid& privateGuid);
  void UndoFailedStart();
  // Switches sharing off where the program switched it on; true when it did.
  bool StopIcsIfNeeded();
  platform::HResult DisableEnableConnections(const platform::Guid& hostedGuid);

 private:
  bool UpdateIcsConnectionList(bool started, const platform::Guid& hostedGuid);
  platform::Bool32 IsUserAdmin();
  bool IsICSAllowed();

  base::CThreadChecker m_Thread;
  const platform::Platform& m_Platform;
  CButton& m_EnableCheck;
  CComboBox& m_ConnectionCombo;
  Reports m_Reports;
  platform::Bool32 m_IsAdmin = 0;
  bool m_Allowed = false;
  bool m_Needed = false;
  bool m_Enabled = false;
  bool m_Refreshed = false;
  std::unique_ptr<ics::CIcsManager> m_Manager;
  base::CRefList<ics::CIcsConnectionInfo*> m_Connections;
  std::vector<base::RefPtr<ics::CIcsConnectionInfo>> m_Offered;  // in the combo box's order
  const ics::CIcsConnectionInfo* m_Selected = nullptr;
  std::u16string m_ShareConnection;  // the device name the controller's settings name
};

}  // namespace tethra::app
