// The executable's import address table (see the header).
#include "ImportSlots.h"

#include <cstring>

namespace tethra::tools {

std::string VisitImports(const char* dll, bool& imported, const ImportVisitor& visit) {
  imported = false;
  auto* base = reinterpret_cast<unsigned char*>(::GetModuleHandleW(nullptr));
  const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
  if (dos->e_magic != IMAGE_DOS_SIGNATURE) return "the executable has no DOS header";
  const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS64*>(base + dos->e_lfanew);
  if (nt->Signature != IMAGE_NT_SIGNATURE || nt->OptionalHeader.Magic != IMAGE_NT_OPTIONAL_HDR64_MAGIC) {
    return "the executable is no PE32+ image";
  }
  const IMAGE_DATA_DIRECTORY& imports = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
  if (imports.VirtualAddress == 0) return "the executable imports nothing";
  for (auto* d = reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(base + imports.VirtualAddress); d->Name != 0; ++d) {
    if (_stricmp(reinterpret_cast<const char*>(base + d->Name), dll) != 0) continue;
    imported = true;
    // The names stay in the lookup table; the address table holds the bound functions.
    if (d->OriginalFirstThunk == 0) {
      std::string module(dll);
      if (const auto dot = module.rfind('.'); dot != std::string::npos) module.resize(dot);
      return module + "'s imports have no lookup table";
    }
    const auto* names = reinterpret_cast<const IMAGE_THUNK_DATA64*>(base + d->OriginalFirstThunk);
    auto* slots = reinterpret_cast<IMAGE_THUNK_DATA64*>(base + d->FirstThunk);
    for (; names->u1.AddressOfData != 0; ++names, ++slots) {
      if (IMAGE_SNAP_BY_ORDINAL64(names->u1.Ordinal)) continue;
      const char* name = reinterpret_cast<const char*>(
          reinterpret_cast<const IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData)->Name);
      if (visit(name, &slots->u1.Function)) return {};
    }
  }
  return {};
}

}  // namespace tethra::tools
