// Kernel objects of the simulated notebook: events, mutexes (named in the session namespace)
// and thread objects, plus the per-process IKernel.
//
// Owner: a process's handle table holds shared references; the objects die with the last
// handle, which frees a mutex name. Touched by the baton holder only. Wait results are
// kWAIT_OBJECT_0, kWAIT_TIMEOUT, kWAIT_ABANDONED (an owner ended without releasing) or
// kWAIT_FAILED with last error 6 for a handle that is not open in the calling process.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "Scheduler.h"
#include "tethra/platform/Kernel.h"

namespace tethra::sim::detail {

class ThreadRec;
class ProcessImpl;

constexpr platform::Dword kWAIT_ABANDONED = 0x80;

struct KernelObject {
  virtual ~KernelObject() = default;
};

struct EventObject final : KernelObject {
  EventObject(bool manual_, bool signalled_) : manual(manual_), signalled(signalled_) {}
  bool manual;
  bool signalled;
};

struct MutexObject final : KernelObject, Holdable {
  ThreadRec* holder() const override { return owner; }
  std::u16string name;
  ThreadRec* owner = nullptr;
  bool foreignOwner = false;  // held by another instance outside the simulation
  unsigned recursion = 0;
  bool abandoned = false;
  // Open handles in any process. The name exists while one is open; a parked thread's wait may
  // still reference the object, but that does not keep the name.
  unsigned handles = 0;
};

struct ThreadObject final : KernelObject {
  explicit ThreadObject(ThreadRec& t) : thread(&t) {}
  ThreadRec* thread;
};

// World-wide kernel state: the session namespace and the list of mutexes (for abandonment).
class KernelState {
 public:
  std::shared_ptr<MutexObject> findNamed(const std::u16string& name) const;
  void addMutex(const std::shared_ptr<MutexObject>& mutex);
  void reserve(std::u16string name);
  static void handleOpened(KernelObject& object);
  static void handleClosed(KernelObject& object);
  // A thread that ends (or is parked with its process) leaves its mutexes abandoned.
  void abandonMutexesOf(const ThreadRec& thread);

 private:
  std::map<std::u16string, std::weak_ptr<MutexObject>> m_Named;
  std::vector<std::weak_ptr<MutexObject>> m_All;
  std::vector<std::shared_ptr<MutexObject>> m_Reserved;
};

std::unique_ptr<platform::IKernel> MakeKernel(ProcessImpl& process);

}  // namespace tethra::sim::detail
