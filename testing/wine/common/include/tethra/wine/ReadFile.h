// Reads a whole file, shared for reading: the tools read scenario files and the simulated
// services' logs (which a service may still be appending to). Header only; any thread.
#pragma once

#include <windows.h>

#include <string>

#include "tethra/wine/WinHandle.h"

namespace tethra::tools {

// False when the file cannot be opened or read through, or is no disk file (a pipe, a device);
// `bytes` is then empty.
inline bool ReadWholeFile(const std::wstring& path, std::string& bytes) {
  bytes.clear();
  const WinHandle owned = OwnHandle(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                                  nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!owned) return false;
  const HANDLE file = owned.get();
  bool whole = ::GetFileType(file) == FILE_TYPE_DISK;
  char chunk[4096];
  DWORD read = 0;
  while (whole) {
    if (!::ReadFile(file, chunk, sizeof chunk, &read, nullptr)) whole = false;
    if (!whole || read == 0) break;
    bytes.append(chunk, read);
  }
  if (!whole) bytes.clear();
  return whole;
}

}  // namespace tethra::tools
