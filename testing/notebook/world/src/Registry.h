// The simulated HKEY_LOCAL_MACHINE: two separate trees (native and 32-bit view), values as
// type plus raw bytes, and armed change notifications.
//
// Owner: World::Impl owns the store; processes hold keys by path (a handle outlives a deleted
// key and then fails with 1018). Touched by the baton holder only. Program-side results are
// Win32 error codes: 0, 2 missing, 5 access denied or fault, 6 bad handle, 87 bad parameter,
// 234 more data, 1018 key deleted, 1630 unsupported type.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "Kernel.h"
#include "tethra/platform/Registry.h"
#include "tethra/sim/World.h"

namespace tethra::sim::detail {

using platform::Dword;  // private header: seen only by the simulated world's own sources

class ProcessImpl;

using RegPath = std::vector<std::u16string>;  // folded (upper-case) components

class RegistryStore final : public SimRegistry {
 public:
  struct Key {
    std::u16string name;  // as first created
    std::map<std::u16string, std::unique_ptr<Key>> children;
    std::map<std::u16string, std::pair<std::u16string, Value>> values;  // folded name -> (name, value)
  };
  struct Watch {
    View view;
    RegPath path;
    bool subtree;
    Dword filter;
    std::shared_ptr<EventObject> event;
    const ProcessImpl* process;
    std::uintptr_t key;
  };

  explicit RegistryStore(World::Impl& world) : m_World(world) {}

  // SimRegistry (the machine's side).
  void createKey(View view, std::u16string_view path) override;
  bool keyExists(View view, std::u16string_view path) const override;
  void deleteKey(View view, std::u16string_view path) override;
  void setValue(View view, std::u16string_view path, std::u16string_view name, Value value) override;
  std::optional<Value> getValue(View view, std::u16string_view path, std::u16string_view name) const override;
  std::optional<std::u16string> getString(View view, std::u16string_view path,
                                          std::u16string_view name) const override;
  std::vector<std::string> misuses() const override { return m_Misuses; }
  void misuse(std::string what) { m_Misuses.push_back(std::move(what)); }

  // Shared by both sides.
  static RegPath split(std::u16string_view path);
  static std::u16string fold(std::u16string_view text);
  Key* find(View view, const RegPath& path) const;
  Key& create(View view, const RegPath& path, const std::vector<std::u16string>& display, bool* created);
  void store(View view, const RegPath& path, std::u16string_view name, Value value);
  void arm(Watch watch) { m_Watches.push_back(std::move(watch)); }
  // A closed key (or an ended process) fires the notifications armed through it.
  void keyClosed(const ProcessImpl& process, std::uintptr_t key);

 private:
  void fire(View view, const RegPath& changed, Dword filterBit);

  World::Impl& m_World;
  mutable Key m_Roots[2];
  std::vector<Watch> m_Watches;
  std::vector<std::string> m_Misuses;
};

std::unique_ptr<platform::IRegistry> MakeRegistry(ProcessImpl& process);

}  // namespace tethra::sim::detail
