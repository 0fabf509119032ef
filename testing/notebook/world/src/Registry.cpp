// The simulated registry (see Registry.h): the store both sides share and the program's
// IRegistry adapter. Threads: the baton holder. A program write is a transcript event; a
// machine write is a trace line. Both fire armed change notifications.
#include "Registry.h"

#include <algorithm>
#include <cstring>

#include "Format.h"
#include "tethra/sim/Text.h"
#include "WorldImpl.h"

namespace tethra::sim::detail {

using platform::Hkey;
using View = SimRegistry::View;

namespace {

constexpr Dword kREG_NOTIFY_CHANGE_NAME = 1;
constexpr Dword kREG_NOTIFY_THREAD_AGNOSTIC = 0x10000000;
using platform::kERROR_SUCCESS;
using platform::Win32Error;
constexpr Win32Error kERROR_ACCESS_DENIED{5};
constexpr Win32Error kERROR_KEY_DELETED{1018};
constexpr Win32Error kERROR_UNSUPPORTED_TYPE{1630};

int Slot(View view) { return view == View::Native ? 0 : 1; }

bool IsPrefix(const RegPath& prefix, const RegPath& path) {
  return prefix.size() <= path.size() && std::equal(prefix.begin(), prefix.end(), path.begin());
}

std::vector<std::u16string> splitDisplay(std::u16string_view path) {
  std::vector<std::u16string> parts;
  std::u16string current;
  for (char16_t c : path) {
    if (c == u'\\') {
      if (!current.empty()) parts.push_back(std::move(current));
      current.clear();
    } else {
      current += c;
    }
  }
  if (!current.empty()) parts.push_back(std::move(current));
  return parts;
}

std::u16string textOf(const std::vector<std::uint8_t>& bytes) {
  std::u16string text;
  for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
    const auto c = static_cast<char16_t>(bytes[i] | (bytes[i + 1] << 8));
    if (c == 0) break;
    text += c;
  }
  return text;
}

std::string Describe(const SimRegistry::Value& value) {
  if (value.type == platform::kREG_SZ) return Quoted(textOf(value.bytes));
  if (value.type == platform::kREG_DWORD && value.bytes.size() == 4) {
    std::uint32_t v = 0;
    std::memcpy(&v, value.bytes.data(), 4);
    return "dword " + Num(v);
  }
  return "type " + Num(value.type) + ", " + Num(static_cast<std::int64_t>(value.bytes.size())) + " bytes";
}

// Whether string data ends with a whole UTF-16 NUL.
bool EndsWithNul(const std::uint8_t* data, Dword size) {
  return size >= 2 && size % 2 == 0 && data[size - 1] == 0 && data[size - 2] == 0;
}

// Whether a RegGetValue type restriction admits the value.
bool Admitted(Dword flags, Dword type, std::size_t size) {
  switch (type) {
    case platform::kREG_NONE: return (flags & 0x1) != 0;
    case platform::kREG_SZ: return (flags & 0x2) != 0;
    case 2: return (flags & 0x4) != 0;  // REG_EXPAND_SZ
    case platform::kREG_BINARY:
      // RRF_RT_DWORD admits a 4-byte REG_BINARY only; RRF_RT_REG_BINARY alone admits any.
      return (flags & platform::kRRF_RT_REG_BINARY) != 0 && ((flags & platform::kRRF_RT_REG_DWORD) == 0 || size == 4);
    case platform::kREG_DWORD: return (flags & platform::kRRF_RT_REG_DWORD) != 0 && size == 4;
    case 7: return (flags & 0x20) != 0;   // REG_MULTI_SZ
    case 11: return (flags & 0x40) != 0;  // REG_QWORD
    default: return false;
  }
}

class ProcessRegistry final : public platform::IRegistry {
 public:
  explicit ProcessRegistry(ProcessImpl& process) : m_Process(process), m_Store(process.world().registry) {}

  Win32Error regCreateKeyEx(Hkey root, const char16_t* subKey, Dword, Dword sam, Hkey* result,
                            Dword* disposition) override {
    RegKeyHandle base;
    Win32Error rc = resolve(root, sam, base);
    bool created = false;
    if (rc == kERROR_SUCCESS && result == nullptr) rc = platform::kERROR_INVALID_PARAMETER;
    if (rc == kERROR_SUCCESS) {
      RegKeyHandle key = base;
      const auto display = splitDisplay(subKey != nullptr ? subKey : u"");
      for (const auto& part : display) key.path.push_back(RegistryStore::fold(part));
      key.access = sam;
      m_Store.create(key.view, key.path, display, &created);
      *result = add(std::move(key));
      if (disposition != nullptr) *disposition = created ? platform::kREG_CREATED_NEW_KEY : platform::kREG_OPENED_EXISTING_KEY;
    }
    record("RegCreateKeyEx", Join({Hex(root), Quoted(subKey), Hex(sam)}), rc, result);
    return rc;
  }

  Win32Error regOpenKeyEx(Hkey root, const char16_t* subKey, Dword, Dword sam, Hkey* result) override {
    RegKeyHandle key;
    Win32Error rc = resolve(root, sam, key);
    if (rc == kERROR_SUCCESS && result == nullptr) rc = platform::kERROR_INVALID_PARAMETER;
    if (rc == kERROR_SUCCESS) {
      for (const auto& part : RegistryStore::split(subKey != nullptr ? subKey : u"")) key.path.push_back(part);
      key.access = sam;
      if (m_Store.find(key.view, key.path) == nullptr) {
        rc = platform::kERROR_FILE_NOT_FOUND;
      } else {
        *result = add(std::move(key));
      }
    }
    record("RegOpenKeyEx", Join({Hex(root), Quoted(subKey), Hex(sam)}), rc, rc == kERROR_SUCCESS ? result : nullptr);
    return rc;
  }

  Win32Error regCloseKey(Hkey key) override {
    Win32Error rc = kERROR_SUCCESS;
    const auto value = reinterpret_cast<std::uintptr_t>(key);
    if (key != platform::kHKEY_LOCAL_MACHINE) {
      if (m_Process.keys.erase(value) == 1) {
        m_Store.keyClosed(m_Process, value);
      } else {
        rc = platform::kERROR_INVALID_HANDLE;
      }
    }
    record("RegCloseKey", Hex(key), rc);
    return rc;
  }

  Win32Error regQueryValueEx(Hkey key, const char16_t* valueName, Dword* type, std::uint8_t* data,
                             Dword* cbData) override {
    RegKeyHandle handle;
    Win32Error rc = resolve(key, 0, handle);
    if (rc == kERROR_SUCCESS && (handle.access & platform::kKEY_QUERY_VALUE) == 0 &&
        key != platform::kHKEY_LOCAL_MACHINE) {
      rc = kERROR_ACCESS_DENIED;
    }
    if (rc == kERROR_SUCCESS && data != nullptr && cbData == nullptr) rc = platform::kERROR_INVALID_PARAMETER;
    if (rc == kERROR_SUCCESS) {
      const RegistryStore::Key* node = m_Store.find(handle.view, handle.path);
      const auto it = node->values.find(RegistryStore::fold(valueName != nullptr ? valueName : u""));
      if (it == node->values.end()) {
        rc = platform::kERROR_FILE_NOT_FOUND;
      } else {
        rc = copyOut(it->second.second.bytes, it->second.second.type, type, data, cbData);
      }
    }
    record("RegQueryValueEx", Join({Hex(key), Quoted(valueName), data != nullptr ? "buffer" : "size only"}), rc);
    return rc;
  }

  Win32Error regSetValueEx(Hkey key, const char16_t* valueName, Dword type, const std::uint8_t* data,
                           Dword cbData) override {
    const std::u16string name = valueName != nullptr ? valueName : u"";
    RegKeyHandle handle;
    Win32Error rc = resolve(key, 0, handle);
    if (rc == kERROR_SUCCESS && (handle.access & platform::kKEY_SET_VALUE) == 0 &&
        key != platform::kHKEY_LOCAL_MACHINE) {
      rc = kERROR_ACCESS_DENIED;
    }
    if (rc == kERROR_SUCCESS && data == nullptr && cbData != 0) rc = platform::kERROR_INVALID_PARAMETER;
    if (rc == kERROR_SUCCESS && m_Process.isProgram() &&
        m_Process.world().faults.take("registry-write", toUtf8(RegistryStore::fold(name)))) {
      rc = kERROR_ACCESS_DENIED;
    }
    SimRegistry::Value value{type, data != nullptr ? std::vector<std::uint8_t>(data, data + cbData)
                                                   : std::vector<std::uint8_t>()};
    const std::string text = "registry set " + Quoted(name) + " = " + Describe(value);
    if (rc == kERROR_SUCCESS) {
      m_Store.store(handle.view, handle.path, name, std::move(value));
      if (m_Process.isProgram()) m_Process.world().event(text);
    } else {
      m_Process.world().trace(text + " failed with " + Num(rc));
    }
    record("RegSetValueEx", Join({Hex(key), Quoted(valueName), Num(type), Num(cbData)}), rc);
    // Windows stores such a string as given; whoever reads it later gets no terminator.
    if (type == platform::kREG_SZ && (data == nullptr || !EndsWithNul(data, cbData))) {
      m_Store.misuse(Quoted(name) + " written as REG_SZ without its terminating NUL (" + Num(cbData) + " bytes)");
    }
    return rc;
  }

  Win32Error regGetValue(Hkey key, const char16_t* subKey, const char16_t* valueName, Dword flags, Dword* type,
                         void* data, Dword* cbData) override {
    RegKeyHandle handle;
    Win32Error rc = resolve(key, 0, handle);
    if (rc == kERROR_SUCCESS && ((flags & 0xFFFF) == 0 || (data != nullptr && cbData == nullptr))) {
      rc = platform::kERROR_INVALID_PARAMETER;
    }
    const RegistryStore::Key* node = nullptr;
    if (rc == kERROR_SUCCESS) {
      for (const auto& part : RegistryStore::split(subKey != nullptr ? subKey : u"")) handle.path.push_back(part);
      node = m_Store.find(handle.view, handle.path);
      if (node == nullptr) rc = platform::kERROR_FILE_NOT_FOUND;
    }
    if (rc == kERROR_SUCCESS) {
      const auto it = node->values.find(RegistryStore::fold(valueName != nullptr ? valueName : u""));
      if (it == node->values.end()) {
        rc = platform::kERROR_FILE_NOT_FOUND;
      } else {
        const SimRegistry::Value& value = it->second.second;
        if (!Admitted(flags, value.type, value.bytes.size())) {
          rc = kERROR_UNSUPPORTED_TYPE;
        } else {
          std::vector<std::uint8_t> bytes = value.bytes;
          // Unlike RegQueryValueEx, RegGetValue hands strings back terminated.
          if (value.type == platform::kREG_SZ && (bytes.size() < 2 || bytes[bytes.size() - 1] != 0 ||
                                                  bytes[bytes.size() - 2] != 0)) {
            if (bytes.size() % 2 != 0) bytes.push_back(0);
            bytes.push_back(0);
            bytes.push_back(0);
          }
          rc = copyOut(bytes, value.type, type, static_cast<std::uint8_t*>(data), cbData);
        }
      }
    }
    record("RegGetValue", Join({Hex(key), Quoted(subKey), Quoted(valueName), Hex(flags)}), rc);
    return rc;
  }

  Win32Error regNotifyChangeKeyValue(Hkey key, bool watchSubtree, Dword filter, platform::Handle event,
                                     bool asynchronous) override {
    RegKeyHandle handle;
    Win32Error rc = resolve(key, 0, handle);
    std::shared_ptr<EventObject> target;
    if (rc == kERROR_SUCCESS && ((filter & ~(0xFu | kREG_NOTIFY_THREAD_AGNOSTIC)) != 0 || (filter & 0xF) == 0)) {
      rc = platform::kERROR_INVALID_PARAMETER;
    }
    if (rc == kERROR_SUCCESS && asynchronous) {
      const auto it = m_Process.handles.find(reinterpret_cast<std::uintptr_t>(event));
      target = it != m_Process.handles.end() ? std::dynamic_pointer_cast<EventObject>(it->second) : nullptr;
      if (!target) rc = event == nullptr ? platform::kERROR_INVALID_PARAMETER : platform::kERROR_INVALID_HANDLE;
    }
    if (rc == kERROR_SUCCESS && !asynchronous) target = std::make_shared<EventObject>(false, false);
    if (rc == kERROR_SUCCESS) {
      m_Store.arm({handle.view, handle.path, watchSubtree, filter, target, &m_Process,
                   reinterpret_cast<std::uintptr_t>(key)});
    }
    record("RegNotifyChangeKeyValue", Join({Hex(key), Num(watchSubtree), Hex(filter), Hex(event), Num(asynchronous)}),
           rc);
    if (rc == kERROR_SUCCESS && !asynchronous) {
      m_Process.world().wait([target] { return target->signalled; }, std::nullopt);
    }
    return rc;
  }

 private:
  Win32Error resolve(Hkey root, Dword sam, RegKeyHandle& out) const {
    if (root == platform::kHKEY_LOCAL_MACHINE) {
      out = {};
      out.view = (sam & platform::kKEY_WOW64_32KEY) != 0 ? View::Wow32 : View::Native;
      out.access = ~Dword{0};
      return kERROR_SUCCESS;
    }
    const auto it = m_Process.keys.find(reinterpret_cast<std::uintptr_t>(root));
    if (it == m_Process.keys.end()) return platform::kERROR_INVALID_HANDLE;
    out = it->second;  // a key keeps the view it was opened in
    return m_Store.find(out.view, out.path) != nullptr ? kERROR_SUCCESS : kERROR_KEY_DELETED;
  }

  static Win32Error copyOut(const std::vector<std::uint8_t>& bytes, Dword valueType, Dword* type, std::uint8_t* data,
                            Dword* cbData) {
    if (type != nullptr) *type = valueType;
    const auto size = static_cast<Dword>(bytes.size());
    if (data == nullptr) {
      if (cbData != nullptr) *cbData = size;
      return kERROR_SUCCESS;
    }
    const Dword room = *cbData;
    *cbData = size;
    if (room < size) return platform::kERROR_MORE_DATA;
    std::copy(bytes.begin(), bytes.end(), data);
    return kERROR_SUCCESS;
  }

  Hkey add(RegKeyHandle key) {
    const std::uintptr_t value = m_Process.world().nextHandle();
    m_Process.keys[value] = std::move(key);
    return reinterpret_cast<Hkey>(value);
  }

  void record(std::string_view function, const std::string& args, Win32Error rc, Hkey* result = nullptr) {
    std::string text = Num(rc);
    if (rc == kERROR_SUCCESS && result != nullptr) text += ", key " + Hex(*result);
    m_Process.record("registry", function, args, text);
  }

  ProcessImpl& m_Process;
  RegistryStore& m_Store;
};

}  // namespace

// --- The store ------------------------------------------------------------------------------------

std::u16string RegistryStore::fold(std::u16string_view text) { return text::FoldRegistryName(text); }

RegPath RegistryStore::split(std::u16string_view path) {
  RegPath parts;
  for (auto& part : splitDisplay(path)) parts.push_back(fold(part));
  return parts;
}

RegistryStore::Key* RegistryStore::find(View view, const RegPath& path) const {
  Key* node = &m_Roots[Slot(view)];
  for (const auto& part : path) {
    const auto it = node->children.find(part);
    if (it == node->children.end()) return nullptr;
    node = it->second.get();
  }
  return node;
}

RegistryStore::Key& RegistryStore::create(View view, const RegPath& path, const std::vector<std::u16string>& display,
                                          bool* created) {
  Key* node = &m_Roots[Slot(view)];
  bool made = false;
  RegPath walked;
  for (std::size_t i = 0; i < path.size(); ++i) {
    auto& child = node->children[path[i]];
    made = !child;
    if (made) {
      child = std::make_unique<Key>();
      child->name = i < display.size() ? display[i] : path[i];
      fire(view, walked, kREG_NOTIFY_CHANGE_NAME);
    }
    walked.push_back(path[i]);
    node = child.get();
  }
  if (created != nullptr) *created = made;
  return *node;
}

void RegistryStore::store(View view, const RegPath& path, std::u16string_view name, Value value) {
  Key* node = find(view, path);
  if (node == nullptr) return;
  node->values[fold(name)] = {std::u16string(name), std::move(value)};
  fire(view, path, platform::kREG_NOTIFY_CHANGE_LAST_SET);
}

void RegistryStore::fire(View view, const RegPath& changed, Dword filterBit) {
  std::erase_if(m_Watches, [&](const Watch& w) {
    if (w.view != view || (w.filter & filterBit) == 0) return false;
    if (w.path != changed && !(w.subtree && IsPrefix(w.path, changed))) return false;
    w.event->signalled = true;
    return true;
  });
}

void RegistryStore::keyClosed(const ProcessImpl& process, std::uintptr_t key) {
  std::erase_if(m_Watches, [&](const Watch& w) {
    if (w.process != &process || w.key != key) return false;
    w.event->signalled = true;
    return true;
  });
}

void RegistryStore::createKey(View view, std::u16string_view path) {
  create(view, split(path), splitDisplay(path), nullptr);
}

bool RegistryStore::keyExists(View view, std::u16string_view path) const { return find(view, split(path)) != nullptr; }

void RegistryStore::deleteKey(View view, std::u16string_view path) {
  const RegPath parts = split(path);
  if (parts.empty()) return;
  RegPath parentPath(parts.begin(), parts.end() - 1);
  Key* parent = find(view, parentPath);
  if (parent == nullptr || parent->children.erase(parts.back()) == 0) return;
  // Watches on the deleted key or below fire: their key is gone.
  std::erase_if(m_Watches, [&](const Watch& w) {
    if (w.view != view || !IsPrefix(parts, w.path)) return false;
    w.event->signalled = true;
    return true;
  });
  fire(view, parentPath, kREG_NOTIFY_CHANGE_NAME);
  m_World.trace("machine registry delete key " + Quoted(path));
}

void RegistryStore::setValue(View view, std::u16string_view path, std::u16string_view name, Value value) {
  const RegPath parts = split(path);
  create(view, parts, splitDisplay(path), nullptr);
  m_World.trace("machine registry set " + Quoted(name) + " = " + Describe(value));
  store(view, parts, name, std::move(value));
}

std::optional<SimRegistry::Value> RegistryStore::getValue(View view, std::u16string_view path,
                                                          std::u16string_view name) const {
  const Key* node = find(view, split(path));
  if (node == nullptr) return std::nullopt;
  const auto it = node->values.find(fold(name));
  if (it == node->values.end()) return std::nullopt;
  return it->second.second;
}

std::optional<std::u16string> RegistryStore::getString(View view, std::u16string_view path,
                                                       std::u16string_view name) const {
  const auto value = getValue(view, path, name);
  if (!value) return std::nullopt;
  return textOf(value->bytes);
}

std::unique_ptr<platform::IRegistry> MakeRegistry(ProcessImpl& process) {
  return std::make_unique<ProcessRegistry>(process);
}

}  // namespace tethra::sim::detail

namespace tethra::sim {

std::u16string SimRegistry::foldName(std::u16string_view name) { return detail::RegistryStore::fold(name); }

}  // namespace tethra::sim
