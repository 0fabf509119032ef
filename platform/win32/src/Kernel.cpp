// IKernel on the Win32 kernel objects, call for call.
// Owner: handles belong to the caller (closeHandle); a critical section belongs to its
// unique_ptr. Any thread may call. Failures: null handle or false with GetLastError() set;
// waits return WAIT_OBJECT_0, WAIT_TIMEOUT or WAIT_FAILED unchanged.
#include <new>

#include "tethra/win32/Adapters.h"
#include "tethra/win32/Win32Common.h"

namespace tethra::win32 {
namespace {

static_assert(platform::kINFINITE == INFINITE && platform::kWAIT_OBJECT_0 == WAIT_OBJECT_0 &&
              platform::kWAIT_TIMEOUT == WAIT_TIMEOUT && platform::kWAIT_FAILED == WAIT_FAILED);
static_assert(platform::Raw(platform::kERROR_ALREADY_EXISTS) == ERROR_ALREADY_EXISTS);

class CriticalSection final : public platform::ICriticalSection {
 public:
  CriticalSection() { ::InitializeCriticalSection(&m_Section); }
  ~CriticalSection() override { ::DeleteCriticalSection(&m_Section); }
  CriticalSection(const CriticalSection&) = delete;
  CriticalSection& operator=(const CriticalSection&) = delete;
  void enter() override { ::EnterCriticalSection(&m_Section); }
  void leave() override { ::LeaveCriticalSection(&m_Section); }

 private:
  CRITICAL_SECTION m_Section;
};

// The portable thread procedure has no calling convention of Windows: start it from a
// WINAPI trampoline that owns the start record.
struct ThreadStart {
  platform::ThreadProc proc;
  void* param;
};

DWORD WINAPI ThreadTrampoline(LPVOID raw) {
  const ThreadStart start = *static_cast<ThreadStart*>(raw);
  delete static_cast<ThreadStart*>(raw);
  return start.proc(start.param);
}

void CopyTime(const SYSTEMTIME& from, platform::SystemTime* to) {
  *to = {from.wYear, from.wMonth, from.wDayOfWeek, from.wDay,
         from.wHour, from.wMinute, from.wSecond, from.wMilliseconds};
}

class Kernel final : public platform::IKernel {
 public:
  platform::Win32Error getLastError() override { return ToError(::GetLastError()); }
  void setLastError(platform::Win32Error error) override { ::SetLastError(FromError(error)); }

  platform::Handle createMutex(bool initialOwner, const char16_t* name) override {
    return ::CreateMutexW(nullptr, initialOwner ? TRUE : FALSE, W(name));
  }
  bool releaseMutex(platform::Handle mutex) override { return ::ReleaseMutex(mutex) != FALSE; }
  platform::Handle createEvent(bool manualReset, bool initialState) override {
    return ::CreateEventW(nullptr, manualReset ? TRUE : FALSE, initialState ? TRUE : FALSE, nullptr);
  }
  bool setEvent(platform::Handle event) override { return ::SetEvent(event) != FALSE; }
  bool resetEvent(platform::Handle event) override { return ::ResetEvent(event) != FALSE; }

  platform::Handle createThread(platform::ThreadProc proc, void* param, platform::Dword* threadId) override {
    auto* start = new (std::nothrow) ThreadStart{proc, param};
    if (start == nullptr) {
      ::SetLastError(ERROR_NOT_ENOUGH_MEMORY);
      return nullptr;
    }
    DWORD id = 0;
    HANDLE thread = ::CreateThread(nullptr, 0, &ThreadTrampoline, start, 0, &id);
    if (thread == nullptr) {
      const DWORD error = ::GetLastError();
      delete start;
      ::SetLastError(error);
      return nullptr;
    }
    if (threadId != nullptr) *threadId = id;
    return thread;
  }

  bool closeHandle(platform::Handle handle) override { return ::CloseHandle(handle) != FALSE; }
  platform::Dword waitForSingleObject(platform::Handle handle, platform::Dword milliseconds) override {
    return ::WaitForSingleObject(handle, milliseconds);
  }
  void sleep(platform::Dword milliseconds) override { ::Sleep(milliseconds); }

  std::unique_ptr<platform::ICriticalSection> createCriticalSection() override {
    return std::make_unique<CriticalSection>();
  }

  platform::Dword getTickCount() override { return ::GetTickCount(); }
  void getLocalTime(platform::SystemTime* time) override {
    SYSTEMTIME st;
    ::GetLocalTime(&st);
    CopyTime(st, time);
  }
  void getSystemTime(platform::SystemTime* time) override {
    SYSTEMTIME st;
    ::GetSystemTime(&st);
    CopyTime(st, time);
  }

  [[noreturn]] void exitProcess(platform::Dword exitCode) override { ::ExitProcess(exitCode); }
};

}  // namespace

std::unique_ptr<platform::IKernel> CreateKernel() { return std::make_unique<Kernel>(); }

}  // namespace tethra::win32
