// The one owner of a kernel handle in the Wine tools (events, pipes, files, threads,
// processes, tokens, snapshots): the program's own RAII owner with a closer that calls
// CloseHandle directly, since the tools talk to the system without the platform boundary.
// Empty is null; the calls that report failure with INVALID_HANDLE_VALUE instead (CreateFileW,
// CreateNamedPipeW, CreateToolhelp32Snapshot) go through OwnHandle, which maps it to empty.
// Header only. Owners are not thread-safe; the handle they hold may be used from any thread.
#pragma once

#include <windows.h>

#include "tethra/platform/Handle.h"

namespace tethra::tools {

struct WinHandleCloser {
  void operator()(HANDLE handle) const { ::CloseHandle(handle); }
};
using WinHandle = platform::UniqueResource<HANDLE, WinHandleCloser>;

// Owns what a call returned, whichever of the two failure values it uses; the thread's last
// error is left as the call set it.
inline WinHandle OwnHandle(HANDLE handle) {
  return WinHandle(handle == INVALID_HANDLE_VALUE ? nullptr : handle, WinHandleCloser{});
}

// An event (auto-reset unless `manualReset`, unnamed unless `name`), or empty.
inline WinHandle MakeEvent(bool manualReset = false, const wchar_t* name = nullptr) {
  return OwnHandle(::CreateEventW(nullptr, manualReset ? TRUE : FALSE, FALSE, name));
}

}  // namespace tethra::tools
