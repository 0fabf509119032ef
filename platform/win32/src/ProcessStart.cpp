// IProcessStart on ShellExecuteExW and GetExitCodeProcess. A program that asks for a bare
// file name gets the copy in the system directory: an elevated process must never run a tool
// from a folder that a user can write to, and the current folder comes first in the shell's
// search. Any thread may call; failures are false with GetLastError() set.

#include <string>

#include "tethra/win32/Adapters.h"
#include "tethra/win32/Win32Common.h"

#include <shellapi.h>

namespace tethra::win32 {
namespace {

static_assert(sizeof(SHELLEXECUTEINFOW) == 112, "the program passes 112 as the record's size");
static_assert(platform::kSEE_MASK_NOCLOSEPROCESS == SEE_MASK_NOCLOSEPROCESS);
static_assert(platform::kSTILL_ACTIVE == STILL_ACTIVE);

// "netsh" becomes "<system directory>\netsh.exe"; a path or a name with an extension is kept.
std::wstring SystemToolPath(const wchar_t* file) {
  std::wstring name = file != nullptr ? file : L"";
  if (name.empty() || name.find_first_of(L"\\/:") != std::wstring::npos) return name;
  wchar_t directory[MAX_PATH] = {};
  const UINT length = ::GetSystemDirectoryW(directory, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return name;
  if (name.find(L'.') == std::wstring::npos) name += L".exe";
  return std::wstring(directory, length) + L"\\" + name;
}

class ProcessStart final : public platform::IProcessStart {
 public:
  bool shellExecuteEx(platform::ShellExecuteInfo* info) override {
    const std::wstring file = SystemToolPath(W(info->lpFile));
    SHELLEXECUTEINFOW sei{};
    sei.cbSize = info->cbSize;
    sei.fMask = info->fMask;
    sei.hwnd = ToHwnd(info->hwnd);
    sei.lpVerb = W(info->lpVerb);
    sei.lpFile = file.c_str();
    sei.lpParameters = W(info->lpParameters);
    sei.lpDirectory = W(info->lpDirectory);
    sei.nShow = info->nShow;
    const BOOL ok = ::ShellExecuteExW(&sei);
    info->hInstApp = reinterpret_cast<std::intptr_t>(sei.hInstApp);
    info->hProcess = sei.hProcess;
    return ok != FALSE;
  }
  bool getExitCodeProcess(platform::Handle process, platform::Dword* exitCode) override {
    return ::GetExitCodeProcess(static_cast<HANDLE>(process), D(exitCode)) != FALSE;
  }
};

}  // namespace

std::unique_ptr<platform::IProcessStart> CreateProcessStart() { return std::make_unique<ProcessStart>(); }

}  // namespace tethra::win32
