// CHostedNetworkSession: what the program does with the access point and sharing, apart from
// the window. It opens the hosted network and reads what it holds, starts it and shares the
// connection at the end of start-up (or lets the mobile hotspot stand in, CHotspotStandIn),
// stops both on close, decides what each of the hosted network's notifications and each of the
// hotspot's events means, and tells the controller: status codes and the name-and-key notice.
// The dialog (CHostedNetworkDlg) holds it and its message map calls it.
//
// Owner: the dialog (by value), for the life of the process; it is given by reference the
// objects it uses, which the dialog owns (state, controller link, controls, sharing, hosted
// network) and the dialog's window, and owns the mobile hotspot once it stands in. Threads:
// the dialog's thread, except the ICommandTarget methods and what they call (AccessPoint,
// SendMsg2Pelto, SendSSIDAndSecurityKey, PostNotification), which the command watcher calls
// as well; every method checks its rule in checked builds. Two handlers end the process
// through the dialog's ways out (`ends`). Codes: HRESULTs of the access point and of sharing.
#pragma once

#include <atomic>
#include <functional>
#include <string>

#include "tethra/app/CommandTarget.h"
#include "tethra/app/ControllerWindowLink.h"
#include "tethra/app/DialogControls.h"
#include "tethra/app/DialogState.h"
#include "tethra/app/HostedNetworkAccessPoint.h"
#include "tethra/app/HotspotStandIn.h"
#include "tethra/app/SharingSession.h"
#include "tethra/base/ThreadChecker.h"

namespace tethra::app {

// The dialog's ways out, as the session's handlers take them.
struct SessionEnds {
  std::function<void()> begin;   // every way out's first step (BeginEnd)
  std::function<void()> finish;  // the last: releases, closes the watcher's handle, ends the process
};

class CHostedNetworkSession final : public ICommandTarget {
 public:
  enum class Opened { Failed, WaitForClose, Ready };

  CHostedNetworkSession(const platform::Platform& platform, CWnd& window, CDialogState& state,
                        CControllerWindowLink& link, CDialogControls& controls, CSharingSession& sharing,
                        CHostedNetworkAccessPoint& hostedNetwork, SessionEnds ends);
  CHostedNetworkSession(const CHostedNetworkSession&) = delete;
  CHostedNetworkSession& operator=(const CHostedNetworkSession&) = delete;

  // The access point in use: the hosted network until the mobile hotspot stands in (switched
  // once, before the hotspot starts). Either thread.
  IAccessPoint& AccessPoint() const override {
    TETHRA_CHECK_EITHER_THREAD(m_Thread, m_WatcherThread);
    return *m_AccessPoint.load();
  }
  CHotspotAccessPoint* Hotspot() const {
    TETHRA_CHECK_THREAD(m_Thread);
    return m_StandIn.Get();
  }
  const platform::Guid& HostedNetworkGuid() const {
    TETHRA_CHECK_THREAD(m_Thread);
    return m_HostedNetworkGuid;
  }

  // Start-up, in this order: Open (sharing's policy and manager, the WLAN service, what the
  // hosted network holds, the connections), then, once the window is set, EnableSharing.
  // Failed: reported to the controller; WaitForClose: the connection to share is missing.
  Opened Open();
  void GetHostedNetworkInfo();
  void EnableSharing();

  platform::HResult StartHostedNetwork();
  platform::HResult StopHostedNetwork();  // its stopped handler does nothing once closing
  void ProcessNotifications();
  // `announce`: the name-and-key notice follows (not while a rename decides the name).
  void OnHostedNetworkStarted(bool announce = true);
  void OnHostedNetworkStopped();
  void OnHostedNetworkNotAvailable();
  void OnHostedNetworkAvailable();
  // The hotspot's state may have changed (`scheduled`: the look asked for while in transition).
  void OnMobileHotspotChanged(bool scheduled);

  // To the controller and the notification log.
  // Unless the close is a silent one; given up after `timeoutMs`. Either thread.
  void SendMsg2Pelto(const std::u16string& code, std::uint32_t timeoutMs = controller::kControllerSendTimeoutMs);
  void SendSSIDAndSecurityKey();  // the name and key in use, while running; either thread
  void PostNotification(const std::u16string& text);  // either thread

  // The commands' side (ICommandTarget), on the watcher's thread or the dialog's.
  void ShowNameAndKey(const std::u16string* name, const std::u16string* key) override;  // into those in use
  void AnnounceNameAndKey() override { SendSSIDAndSecurityKey(); }
  void ReportStatus(const char16_t* code) override { SendMsg2Pelto(code); }
  void PostClose() override;

 private:
  platform::HResult InitWlan();
  void GetIcsInfo();
  bool StopIcsIfNeeded();
  void StartAndAnnounce();  // starts the hosted network and announces it, or reports the failure
  bool RunMobileHotspotInstead();
  void StartMobileHotspot();
  bool CheckValidSSIDKeyLen();
  void DisableAllControls();
  void EnableAllControls();
  // A failed start: "SHARED_START_FAILED" when `toController`, the trace log in any case.
  void ReportStartFailed(const char* what, platform::HResult hr, bool toController);
  void UnregisterSessionNotifications();
  TETHRA_PRINTF_FORMAT(2, 3) void Trace(const char* format, ...);

  const platform::Platform& m_Platform;
  base::CThreadChecker m_Thread;  // the dialog's
  base::CThreadChecker m_WatcherThread{base::ThreadBinding::BindOnFirstUse};  // the command watcher's
  CWnd& m_Window;
  CDialogState& m_State;
  CControllerWindowLink& m_Link;
  CDialogControls& m_Controls;
  CSharingSession& m_Sharing;
  CHostedNetworkAccessPoint& m_HostedNetwork;
  SessionEnds m_Ends;
  platform::Guid m_HostedNetworkGuid{};
  CHotspotStandIn m_StandIn;
  std::atomic<IAccessPoint*> m_AccessPoint;  // published to the watcher
};

}  // namespace tethra::app
