// Compile-time proof that the boundary's shared records have the Windows layouts, so that
// pointers to them may be handed to the system unchanged. Nothing runs here; a mismatch stops
// the build. The WLAN records are checked next to their declarations (WlanTypes.h) and the
// device-interface record in SystemEvents.cpp.
#include <cstddef>

#include "tethra/platform/Types.h"
#include "tethra/win32/Win32Common.h"

namespace tethra::win32 {
namespace {

using platform::CopyDataStruct;
using platform::Guid;
using platform::Rect;
using platform::SystemTime;

TETHRA_WIN32_SAME_LAYOUT(Guid, GUID, Data1, Data2, Data3, Data4);

TETHRA_WIN32_SAME_LAYOUT(SystemTime, SYSTEMTIME, wYear, wMonth, wDayOfWeek, wDay, wHour, wMinute, wSecond,
                         wMilliseconds);

TETHRA_WIN32_SAME_LAYOUT(Rect, RECT, left, top, right, bottom);

// WM_COPYDATA carries a pointer to this record to another process.
TETHRA_WIN32_SAME_LAYOUT(CopyDataStruct, COPYDATASTRUCT, dwData, cbData, lpData);

}  // namespace
}  // namespace tethra::win32
