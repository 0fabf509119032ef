// Shared by every Win32 adapter: the one place that includes <windows.h> with the settings the
// adapters agree on, and the conversions between the boundary's portable types and the Win32
// ones. Header only, no state; any thread may use it.
#pragma once

#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <cstddef>
#include <cstring>

#include "tethra/platform/Types.h"

// The portable record P has the size of the Windows record W, and each named field sits where W
// has the field of that name, with its size: TETHRA_WIN32_SAME_LAYOUT(Rect, RECT, left, top, ...);
// Up to 14 fields, one a rescan; past that the build stops at the first field left unexpanded.
#define TETHRA_WIN32_SAME_LAYOUT(P, W, ...)          \
  static_assert(sizeof(P) == sizeof(W), #P " size"); \
  TETHRA_WIN32_RESCAN(TETHRA_WIN32_FIELDS(P, W, __VA_ARGS__))

#define TETHRA_WIN32_SAME_FIELD(P, W, f)                                 \
  static_assert(offsetof(P, f) == offsetof(W, f), #P "::" #f " offset"); \
  static_assert(sizeof(P::f) == sizeof(W::f), #P "::" #f " size")
#define TETHRA_WIN32_FIELDS(P, W, f, ...) \
  TETHRA_WIN32_SAME_FIELD(P, W, f) __VA_OPT__(; TETHRA_WIN32_FIELDS_AGAIN TETHRA_WIN32_PARENS(P, W, __VA_ARGS__))
#define TETHRA_WIN32_FIELDS_AGAIN() TETHRA_WIN32_FIELDS
#define TETHRA_WIN32_PARENS ()
#define TETHRA_WIN32_RESCAN(...) TETHRA_WIN32_RESCAN3(TETHRA_WIN32_RESCAN3(TETHRA_WIN32_RESCAN3(__VA_ARGS__)))
#define TETHRA_WIN32_RESCAN3(...) TETHRA_WIN32_RESCAN1(TETHRA_WIN32_RESCAN1(TETHRA_WIN32_RESCAN1(__VA_ARGS__)))
#define TETHRA_WIN32_RESCAN1(...) __VA_ARGS__

namespace tethra::win32 {

namespace platform = tethra::platform;

// UTF-16 text crosses the boundary unchanged: the two character types share their layout here.
static_assert(sizeof(wchar_t) == sizeof(char16_t), "wchar_t must be UTF-16 on Windows");
static_assert(sizeof(DWORD) == sizeof(platform::Dword));
static_assert(sizeof(BOOL) == sizeof(platform::Bool32));
static_assert(sizeof(WPARAM) == sizeof(platform::WParam) && sizeof(LPARAM) == sizeof(platform::LParam));
static_assert(sizeof(LRESULT) == sizeof(platform::LResult) && sizeof(INT_PTR) == sizeof(std::intptr_t));

inline const wchar_t* W(const char16_t* s) { return reinterpret_cast<const wchar_t*>(s); }
inline wchar_t* W(char16_t* s) { return reinterpret_cast<wchar_t*>(s); }

// DWORD is `unsigned long` and Dword `std::uint32_t`: same size, distinct types.
inline DWORD* D(platform::Dword* p) { return reinterpret_cast<DWORD*>(p); }

// Status codes take the boundary's types at the edge of each call, and leave them the same way.
// LSTATUS and HRESULT are both LONG here, hence two names rather than overloads.
inline platform::Win32Error ToError(DWORD code) { return platform::Win32Error{static_cast<std::uint32_t>(code)}; }
inline platform::Win32Error StatusToError(LSTATUS status) { return ToError(static_cast<DWORD>(status)); }
inline DWORD FromError(platform::Win32Error error) { return platform::Raw(error); }
inline platform::HResult ToHResult(HRESULT hr) { return platform::HResult{static_cast<std::uint32_t>(hr)}; }

// GUIDs have one layout on both sides (checked in LayoutChecks.cpp).
inline GUID ToGuid(const platform::Guid& g) {
  GUID out;
  static_assert(sizeof out == sizeof g);
  std::memcpy(&out, &g, sizeof out);
  return out;
}
inline platform::Guid FromGuid(const GUID& g) {
  platform::Guid out;
  std::memcpy(static_cast<void*>(&out), &g, sizeof out);
  return out;
}

// Window handles are opaque pointers on both sides.
inline HWND ToHwnd(platform::Hwnd h) { return reinterpret_cast<HWND>(h); }
inline platform::Hwnd FromHwnd(HWND h) { return reinterpret_cast<platform::Hwnd>(h); }

// The program module: its dialogs, strings and icons.
inline HINSTANCE ModuleInstance() { return ::GetModuleHandleW(nullptr); }

}  // namespace tethra::win32
