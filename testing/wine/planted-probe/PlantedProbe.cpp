// planted-probe.dll: a DLL that announces every load. The Wine tests copy it as "wlanapi.dll"
// and "netshell.dll" into the current folder and beside tethra.exe; if any process loads one
// of those copies, DllMain creates "<full path of the DLL>.loaded", which the test looks for.
// Runs in the loader (loader lock held), so it calls kernel32 only and starts no thread.
// `Probe` lets the test load it on purpose through rundll32 (proof that the marker works).
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

namespace {

void LeaveMarker(HINSTANCE self) {
  wchar_t path[MAX_PATH + 16];
  const DWORD length = ::GetModuleFileNameW(self, path, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return;
  constexpr wchar_t kSuffix[] = L".loaded";
  for (DWORD i = 0; i < sizeof(kSuffix) / sizeof(wchar_t); ++i) path[length + i] = kSuffix[i];
  const HANDLE marker = ::CreateFileW(path, GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                                      FILE_ATTRIBUTE_NORMAL, nullptr);
  if (marker != INVALID_HANDLE_VALUE) ::CloseHandle(marker);
}

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE self, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) LeaveMarker(self);
  return TRUE;
}

// rundll32's entry signature; the load itself is what counts.
extern "C" void CALLBACK Probe(HWND, HINSTANCE, LPSTR, int) {}
