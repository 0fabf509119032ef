// The Win32 operations behind the system-directory loading rule (SystemLibraryRule.h).
#include "tethra/win32/SystemLibrary.h"

#include <string>

#include "tethra/win32/SystemLibraryRule.h"

namespace tethra::win32 {
namespace {

struct LoaderOps {
  HMODULE loadSearchingSystemDirectory(std::u16string_view name) {
    const std::u16string terminated(name);
    return ::LoadLibraryExW(W(terminated.c_str()), nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
  }
  HMODULE loadByFullPath(const std::u16string& path) {
    return ::LoadLibraryExW(W(path.c_str()), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
  }
  std::uint32_t lastError() { return ::GetLastError(); }
  void setLastError(std::uint32_t code) { ::SetLastError(code); }
  std::u16string systemDirectory() {
    wchar_t path[MAX_PATH];
    const UINT length = ::GetSystemDirectoryW(path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return {};
    return std::u16string(reinterpret_cast<const char16_t*>(path), length);
  }
};

static_assert(kLoaderErrorInvalidParameter == ERROR_INVALID_PARAMETER);
static_assert(kLoaderErrorModNotFound == ERROR_MOD_NOT_FOUND);
static_assert(kLoaderMaxPath == MAX_PATH);

}  // namespace

HMODULE LoadSystemLibrary(const char16_t* name) {
  LoaderOps ops;
  return LoadFromSystemDirectory(ops, name);
}

}  // namespace tethra::win32
