// Starting a system tool (ShellExecuteExW) and reading how its process ended. Owner: the
// process handle returned in hProcess (with kSEE_MASK_NOCLOSEPROCESS) is the caller's, closed
// with IKernel::closeHandle; waiting on it uses IKernel::waitForSingleObject. Any thread.
#pragma once

#include "tethra/platform/Types.h"

namespace tethra::platform {

constexpr std::uint32_t kSEE_MASK_NOCLOSEPROCESS = 0x00000040;
constexpr Dword kSTILL_ACTIVE = 259;

struct ShellExecuteInfo {  // the fields of SHELLEXECUTEINFOW that the program uses
  Dword cbSize = 0;        // 112, the size of SHELLEXECUTEINFOW on 64-bit Windows
  std::uint32_t fMask = 0;
  Hwnd hwnd = nullptr;
  const char16_t* lpVerb = nullptr;
  const char16_t* lpFile = nullptr;
  const char16_t* lpParameters = nullptr;
  const char16_t* lpDirectory = nullptr;
  int nShow = 0;
  std::intptr_t hInstApp = 0;  // out: greater than 32 on success
  Handle hProcess = nullptr;   // out
};

class IProcessStart {
 public:
  virtual ~IProcessStart() = default;
  virtual bool shellExecuteEx(ShellExecuteInfo* info) = 0;
  virtual bool getExitCodeProcess(Handle process, Dword* exitCode) = 0;
};

}  // namespace tethra::platform
