// The one simulated sharing service of a process, as simsharing.dll's COM objects reach it: the
// service (SimSharingService) on the machine of SharingMachine.h, its planted faults, the lock
// that serialises every call into it, the count of live COM objects by kind, and the log.
//
// The hosted network's connection (the one on the WLAN adapter's GUID) lives with the virtual
// adapter, and RAS connections are listed only to a program that set COM security, as on the
// simulated notebook; both come from the planted wlanapi.dll of the same process
// (tethra/wine/WlanLink.h says why so). The end check first has that service close the ended
// process's handles, so that it sees the hosted network as it is once the process has gone.
//
// Owner: made at the first call of any export and never destroyed (the DLL pins itself: the
// service stands for a system service that outlives every client object). Threads: any; the
// callers take enter() around every use but writeEnd, which takes the lock only if it is free.
// Codes: none (the service's own HRESULTs pass through its objects).
//
// TETHRA_SIMSHARING_LOG names the log file (else the lines go to OutputDebugString). The lines
// other programs read (texts quoted as in scenario files):
//   scenario PATH                               the machine is the scenario file's
//   scenario refused: REASON                    the file could not be read; the variables rule
//   call OPERATION(ARGUMENTS) -> 0xXXXXXXXX     every call into the service, by the operation
//                                                names scenarios count (`expect ics calls`)
//   now public "NAME"|none private "NAME"|none  at the start and after each call that changed it
// At process detach the log ends with "end: nothing left behind", or with these, each only when
// it has something to say:
//   end: COM objects still referenced: N KIND, ... (R references)
//   end: service left over: TEXT                 exactly SimSharingService::leftOverText(): records,
//                                                task memory and references not given back, misuses
//   end: shared since the start: "A", "B"        sharing the program switched on and left on
// or with "end: not checked (a call was still running)".
#pragma once

#include <atomic>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "tethra/sim/Faults.h"
#include "tethra/sim/ics/SimSharingService.h"
#include "tethra/wine/ServiceDll.h"

namespace tethra::tools {

class SharingServer final : private sim::ISharingServiceHost {
 public:
  static SharingServer& instance();
  static SharingServer* IfMade() { return s_made.load(); }

  std::unique_lock<std::recursive_mutex> enter() { return std::unique_lock(m_Lock); }
  sim::SimSharingService& service() { return *m_Service; }

  void objectMade(const char* kind) {
    ++m_Objects[kind];
    ++m_ComReferences;
  }
  void objectGone(const char* kind) { --m_Objects[kind]; }
  void referenceTaken() { ++m_ComReferences; }
  void referenceGiven() { --m_ComReferences; }
  void lockServer(bool lock) { m_Locks += lock ? 1 : -1; }
  bool idle() const;

  void write(const std::string& text) { m_Log.write(text); }  // callers hold the lock

  // The log's last lines (see the header).
  void writeEnd();

 private:
  SharingServer();

  // The "now" line, when the shared pair differs from the one written last (or `always`).
  void writeNowIfChanged(bool always);

  // --- ISharingServiceHost ---------------------------------------------------------------------
  void recordCall(std::string_view operation, std::string_view arguments, std::string_view result) override;
  std::optional<std::int64_t> takeFault(std::string_view area, std::string_view operation) override;
  void event(std::string text) override { write("event " + text); }

  static inline std::atomic<SharingServer*> s_made{nullptr};
  ServiceLog m_Log{L"TETHRA_SIMSHARING_LOG", "simsharing: "};
  std::recursive_mutex m_Lock;
  sim::FaultPlan m_Faults;
  std::unique_ptr<sim::SimSharingService> m_Service;
  std::optional<std::u16string> m_NowPublic;  // the pair the last "now" line named
  std::optional<std::u16string> m_NowPrivate;
  std::map<std::string, std::int64_t> m_Objects;  // live COM objects by kind
  std::int64_t m_ComReferences = 0;
  std::int64_t m_Locks = 0;
};

}  // namespace tethra::tools
