// CStartupGate: the one hand-over from the dialog's thread to the registry command watcher.
//
// The watcher starts in the dialog's constructor, before the dialog window, its controls and
// the controller window are known; the dialog's thread writes those (and the command line)
// during start-up. The watcher may take a command at any time, but carries it out only once
// the dialog has opened the gate: everything the dialog's thread wrote before Open() is then
// visible to the watcher, as the event's set and the wait's return order the two threads.
//
// Threads: the dialog's thread makes the gate and opens it, once (start-up done, or the program
// ending before it); the watcher thread waits. The event lives as long as the gate.
// Open() twice is harmless. When the event cannot be made, Wait() returns at once: the watcher
// then goes on unordered, as it would without a gate.
#pragma once

#include <atomic>

#include "tethra/base/ThreadChecker.h"
#include "tethra/platform/Handle.h"
#include "tethra/platform/Kernel.h"

namespace tethra::app {

class CStartupGate {
 public:
  explicit CStartupGate(platform::IKernel& kernel);
  CStartupGate(const CStartupGate&) = delete;
  CStartupGate& operator=(const CStartupGate&) = delete;

  void Open();            // the making thread only
  void Wait() const;      // any other thread; returns at once once open
  bool IsOpen() const { return m_Open.load(std::memory_order_acquire); }

 private:
  platform::IKernel& m_Kernel;
  base::CThreadChecker m_Opener;
  platform::UniqueKernelHandle m_Event;
  std::atomic<bool> m_Open{false};
};

}  // namespace tethra::app
