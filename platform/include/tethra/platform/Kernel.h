// Kernel objects, time and process end.
//
// Owner: the program holds every handle it creates and closes it with closeHandle (through
// the RAII types of Handle.h). Any thread may call. Failures come back as the Win32 call
// reports them: a null handle or false, with the reason in getLastError() of the calling thread.
#pragma once

#include <memory>
#include <string>

#include "tethra/platform/Types.h"

namespace tethra::platform {

constexpr Dword kINFINITE = 0xFFFFFFFFu;
constexpr Dword kWAIT_OBJECT_0 = 0;
constexpr Dword kWAIT_TIMEOUT = 0x102;
constexpr Dword kWAIT_FAILED = 0xFFFFFFFFu;

using ThreadProc = Dword (*)(void* param);

// A re-entrant lock (CRITICAL_SECTION): the owning thread may enter again; leave as often.
class ICriticalSection {
 public:
  virtual ~ICriticalSection() = default;
  virtual void enter() = 0;
  virtual void leave() = 0;
};

class IKernel {
 public:
  virtual ~IKernel() = default;

  virtual Win32Error getLastError() = 0;
  virtual void setLastError(Win32Error error) = 0;

  // Named mutex in the calling user session's namespace; getLastError() is
  // kERROR_ALREADY_EXISTS when the name was taken (the handle is then still returned).
  virtual Handle createMutex(bool initialOwner, const char16_t* name) = 0;
  virtual bool releaseMutex(Handle mutex) = 0;
  virtual Handle createEvent(bool manualReset, bool initialState) = 0;  // unnamed
  virtual bool setEvent(Handle event) = 0;
  virtual bool resetEvent(Handle event) = 0;
  virtual Handle createThread(ThreadProc proc, void* param, Dword* threadId) = 0;
  virtual bool closeHandle(Handle handle) = 0;
  // kWAIT_OBJECT_0, kWAIT_TIMEOUT or kWAIT_FAILED.
  virtual Dword waitForSingleObject(Handle handle, Dword milliseconds) = 0;
  virtual void sleep(Dword milliseconds) = 0;

  virtual std::unique_ptr<ICriticalSection> createCriticalSection() = 0;

  virtual Dword getTickCount() = 0;  // milliseconds, wraps at 2^32
  virtual void getLocalTime(SystemTime* time) = 0;
  virtual void getSystemTime(SystemTime* time) = 0;  // UTC

  // Ends the process: no code of the program runs after it, no destructor, no handler.
  [[noreturn]] virtual void exitProcess(Dword exitCode) = 0;
};

}  // namespace tethra::platform
