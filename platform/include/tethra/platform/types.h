// Portable types and constants shared by every platform area.
//
// The program's code (app/, wlan/, ics/, controller/) sees the operating system only through
// the headers of this folder. Names mirror the Win32 ones with a `k` prefix (kWM_CLOSE) or in
// camel case (Hwnd) so that they never collide with the macros of <windows.h>, which the Win32
// adapter includes next to these headers. Layouts that cross the boundary by pointer match the
// Win32 structures byte for byte; the Win32 adapter checks that at compile time.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>

namespace tethra::platform {

using HResult = std::int32_t;  // 32-bit status: 0 success, negative failure, 1 "nothing to do"
using Dword = std::uint32_t;
using Bool32 = std::int32_t;  // Win32 BOOL

using WParam = std::uintptr_t;
using LParam = std::intptr_t;
using LResult = std::intptr_t;

// Opaque handles: pointer-sized, compared by value, never dereferenced by the program.
using Handle = void*;
struct HwndTag;
using Hwnd = HwndTag*;
struct HkeyTag;
using Hkey = HkeyTag*;
struct HiconTag;
using Hicon = HiconTag*;
struct HmenuTag;
using Hmenu = HmenuTag*;
struct HimagelistTag;
using Himagelist = HimagelistTag*;
struct HdcTag;
using Hdc = HdcTag*;
using Hdevnotify = void*;
struct HmoduleTag;
using Hmodule = HmoduleTag*;

struct Guid {
  std::uint32_t Data1 = 0;
  std::uint16_t Data2 = 0;
  std::uint16_t Data3 = 0;
  std::uint8_t Data4[8] = {};

  bool isZero() const { return *this == Guid{}; }
  friend bool operator==(const Guid& a, const Guid& b) { return std::memcmp(&a, &b, sizeof(Guid)) == 0; }
  friend bool operator!=(const Guid& a, const Guid& b) { return !(a == b); }
};
static_assert(sizeof(Guid) == 16);

struct SystemTime {  // SYSTEMTIME
  std::uint16_t wYear, wMonth, wDayOfWeek, wDay, wHour, wMinute, wSecond, wMilliseconds;
};

struct Rect {  // RECT
  std::int32_t left, top, right, bottom;
};

struct Msg {  // MSG, field by field (the adapter copies, it does not cast)
  Hwnd hwnd = nullptr;
  std::uint32_t message = 0;
  WParam wParam = 0;
  LParam lParam = 0;
  Dword time = 0;
  std::int32_t ptX = 0, ptY = 0;
};

struct CopyDataStruct {  // COPYDATASTRUCT: same layout on 64-bit Windows
  std::uintptr_t dwData;
  Dword cbData;
  void* lpData;
};
static_assert(sizeof(CopyDataStruct) == 3 * sizeof(void*));

// A positive platform error e becomes 0x80070000 | (e & 0xFFFF); zero and negative values pass.
constexpr HResult HResultFromWin32(std::int64_t e) {
  return e > 0 ? static_cast<HResult>(0x80070000u | (static_cast<std::uint32_t>(e) & 0xFFFFu))
               : static_cast<HResult>(e);
}
constexpr bool Succeeded(HResult hr) { return hr >= 0; }
constexpr bool Failed(HResult hr) { return hr < 0; }

constexpr HResult kS_OK = 0;
constexpr HResult kS_FALSE = 1;
constexpr HResult kE_FAIL = static_cast<HResult>(0x80004005u);
constexpr HResult kE_OUTOFMEMORY = static_cast<HResult>(0x8007000Eu);
constexpr HResult kE_INVALIDARG = static_cast<HResult>(0x80070057u);
constexpr HResult kE_UNEXPECTED = static_cast<HResult>(0x8000FFFFu);

// System error codes the program tests or produces.
constexpr Dword kERROR_SUCCESS = 0;
constexpr Dword kERROR_FILE_NOT_FOUND = 2;
constexpr Dword kERROR_INVALID_HANDLE = 6;
constexpr Dword kERROR_NOT_ENOUGH_MEMORY = 8;
constexpr Dword kERROR_BAD_FORMAT = 11;
constexpr Dword kERROR_INVALID_DATA = 13;
constexpr Dword kERROR_OUTOFMEMORY = 14;
constexpr Dword kERROR_BAD_LENGTH = 24;
constexpr Dword kERROR_NOT_SUPPORTED = 50;
constexpr Dword kERROR_INVALID_PARAMETER = 87;
constexpr Dword kERROR_INSUFFICIENT_BUFFER = 122;
constexpr Dword kERROR_MOD_NOT_FOUND = 126;
constexpr Dword kERROR_PROC_NOT_FOUND = 127;
constexpr Dword kERROR_ALREADY_EXISTS = 183;
constexpr Dword kERROR_MORE_DATA = 234;
constexpr Dword kERROR_NO_UNICODE_TRANSLATION = 1113;
constexpr Dword kERROR_INTERNAL_ERROR = 1359;
constexpr Dword kERROR_INVALID_STATE = 5023;

}  // namespace tethra::platform
