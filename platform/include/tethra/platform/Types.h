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
#include <iosfwd>
#include <string>

namespace tethra::platform {

// Dword is for counts, sizes, flags, ticks and exit codes; status codes have their own types
// below, so that one kind cannot be returned, tested or compared as the other.
using Dword = std::uint32_t;
using Bool32 = std::int32_t;  // Win32 BOOL

using WParam = std::uintptr_t;
using LParam = std::intptr_t;
using LResult = std::intptr_t;

// Opaque handles: pointer-sized, compared by value, never dereferenced by the program. The tagged
// kinds point to a type of their own that is never defined, so one cannot be passed as another.
using Handle = void*;
using Hwnd = struct HwndTag*;
using Hkey = struct HkeyTag*;
using Hicon = struct HiconTag*;
using Hmenu = struct HmenuTag*;
using Himagelist = struct HimagelistTag*;
using Hdc = struct HdcTag*;
using Hdevnotify = void*;
using Hmodule = struct HmoduleTag*;

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

// A system error code (GetLastError, the Reg* and Wlan* results): 0 success, else the reason.
// Built from a number only explicitly (Win32Error{87}); Raw() gives the number back.
enum class [[nodiscard]] Win32Error : std::uint32_t {};

// A 32-bit COM status: 0 success, 1 "nothing to do", negative (severity bit set) failure.
// Built from its bit pattern only explicitly; never from a Win32Error except through
// HResultFromWin32, and never tested as an integer (Succeeded, Failed, ==, Raw).
class [[nodiscard]] HResult {
 public:
  constexpr HResult() = default;  // S_OK
  explicit constexpr HResult(std::uint32_t bits) : m_Bits(bits) {}

  constexpr std::uint32_t bits() const { return m_Bits; }
  friend constexpr bool operator==(HResult a, HResult b) = default;

 private:
  std::uint32_t m_Bits = 0;
};
static_assert(sizeof(HResult) == 4);

// The numbers themselves, for trace lines and for the few places that carry them as data.
constexpr std::uint32_t Raw(Win32Error e) { return static_cast<std::uint32_t>(e); }
constexpr std::uint32_t Raw(HResult hr) { return hr.bits(); }

constexpr bool Succeeded(HResult hr) { return (hr.bits() & 0x80000000u) == 0; }
constexpr bool Failed(HResult hr) { return !Succeeded(hr); }

// Returns the status of `expr` from the enclosing function when it is a failure, and goes on
// otherwise: the one way the code hands a failure back. `expr` is evaluated exactly once; write
// `hr = call()` to keep a success (S_FALSE and the like) for the tests that follow. Any status
// type with a `Failed` in reach works (HResult here, the raw ABI result in the Win32 adapters);
// a second argument names the conversion to the function's own status type
// (`TETHRA_RETURN_IF_FAILED(call(), ToHResult)`). Throws nothing.
#define TETHRA_RETURN_IF_FAILED(expr, ...)                                        \
  do {                                                                            \
    if (const auto tethraStatus_ = (expr); Failed(tethraStatus_))                 \
      return __VA_ARGS__(tethraStatus_);                                          \
  } while (false)

// The one conversion between the two kinds: success stays S_OK, any other code e becomes
// 0x80070000 | (e & 0xFFFF) (severity failure, facility Win32).
constexpr HResult HResultFromWin32(Win32Error e) {
  return Raw(e) == 0 ? HResult{} : HResult{0x80070000u | (Raw(e) & 0xFFFFu)};
}

// Not a conversion: a status that carries a system error's number as it is. Such a status is
// positive, so Succeeded() holds for it. Only the WLAN manager's sink registration answers
// this way (a null sink, an idle event that cannot be made), and start-up relies on it: a
// sink that could not be registered does not stop initialisation.
constexpr HResult UnconvertedStatus(Win32Error e) { return HResult{Raw(e)}; }

// Readable values in streams, such as GoogleTest's failure messages. Templates, so that the
// program itself pulls in no stream header; the text is built before the stream sees it.
template <typename Char, typename Traits>
std::basic_ostream<Char, Traits>& operator<<(std::basic_ostream<Char, Traits>& os, Win32Error e) {
  return os << "Win32Error " << Raw(e);
}
template <typename Char, typename Traits>
std::basic_ostream<Char, Traits>& operator<<(std::basic_ostream<Char, Traits>& os, HResult hr) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  char text[] = "HResult 0x00000000";
  for (int i = 0; i < 8; ++i) text[17 - i] = kHex[(Raw(hr) >> (4 * i)) & 0xFu];
  return os << text;
}

inline constexpr HResult kS_OK{0};
inline constexpr HResult kS_FALSE{1};
inline constexpr HResult kE_FAIL{0x80004005u};
inline constexpr HResult kE_OUTOFMEMORY{0x8007000Eu};
inline constexpr HResult kE_INVALIDARG{0x80070057u};
inline constexpr HResult kE_UNEXPECTED{0x8000FFFFu};

// System error codes the program tests or produces.
inline constexpr Win32Error kERROR_SUCCESS{0};
inline constexpr Win32Error kERROR_FILE_NOT_FOUND{2};
inline constexpr Win32Error kERROR_INVALID_HANDLE{6};
inline constexpr Win32Error kERROR_NOT_ENOUGH_MEMORY{8};
inline constexpr Win32Error kERROR_BAD_FORMAT{11};
inline constexpr Win32Error kERROR_INVALID_DATA{13};
inline constexpr Win32Error kERROR_OUTOFMEMORY{14};
inline constexpr Win32Error kERROR_BAD_LENGTH{24};
inline constexpr Win32Error kERROR_NOT_SUPPORTED{50};
inline constexpr Win32Error kERROR_INVALID_PARAMETER{87};
inline constexpr Win32Error kERROR_INSUFFICIENT_BUFFER{122};
inline constexpr Win32Error kERROR_MOD_NOT_FOUND{126};
inline constexpr Win32Error kERROR_PROC_NOT_FOUND{127};
inline constexpr Win32Error kERROR_ALREADY_EXISTS{183};
inline constexpr Win32Error kERROR_MORE_DATA{234};
inline constexpr Win32Error kERROR_NO_UNICODE_TRANSLATION{1113};
inline constexpr Win32Error kERROR_INTERNAL_ERROR{1359};
inline constexpr Win32Error kERROR_INVALID_STATE{5023};

}  // namespace tethra::platform
