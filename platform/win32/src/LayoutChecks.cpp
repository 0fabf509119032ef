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

static_assert(sizeof(Guid) == sizeof(GUID));
TETHRA_WIN32_SAME_FIELD(Guid, GUID, Data1, Data1);
TETHRA_WIN32_SAME_FIELD(Guid, GUID, Data2, Data2);
TETHRA_WIN32_SAME_FIELD(Guid, GUID, Data3, Data3);
TETHRA_WIN32_SAME_FIELD(Guid, GUID, Data4, Data4);

static_assert(sizeof(SystemTime) == sizeof(SYSTEMTIME));
TETHRA_WIN32_SAME_FIELD(SystemTime, SYSTEMTIME, wYear, wYear);
TETHRA_WIN32_SAME_FIELD(SystemTime, SYSTEMTIME, wMonth, wMonth);
TETHRA_WIN32_SAME_FIELD(SystemTime, SYSTEMTIME, wDayOfWeek, wDayOfWeek);
TETHRA_WIN32_SAME_FIELD(SystemTime, SYSTEMTIME, wDay, wDay);
TETHRA_WIN32_SAME_FIELD(SystemTime, SYSTEMTIME, wHour, wHour);
TETHRA_WIN32_SAME_FIELD(SystemTime, SYSTEMTIME, wMinute, wMinute);
TETHRA_WIN32_SAME_FIELD(SystemTime, SYSTEMTIME, wSecond, wSecond);
TETHRA_WIN32_SAME_FIELD(SystemTime, SYSTEMTIME, wMilliseconds, wMilliseconds);

static_assert(sizeof(Rect) == sizeof(RECT));
TETHRA_WIN32_SAME_FIELD(Rect, RECT, left, left);
TETHRA_WIN32_SAME_FIELD(Rect, RECT, top, top);
TETHRA_WIN32_SAME_FIELD(Rect, RECT, right, right);
TETHRA_WIN32_SAME_FIELD(Rect, RECT, bottom, bottom);

// WM_COPYDATA carries a pointer to this record to another process.
static_assert(sizeof(CopyDataStruct) == sizeof(COPYDATASTRUCT));
TETHRA_WIN32_SAME_FIELD(CopyDataStruct, COPYDATASTRUCT, dwData, dwData);
TETHRA_WIN32_SAME_FIELD(CopyDataStruct, COPYDATASTRUCT, cbData, cbData);
TETHRA_WIN32_SAME_FIELD(CopyDataStruct, COPYDATASTRUCT, lpData, lpData);

}  // namespace
}  // namespace tethra::win32
