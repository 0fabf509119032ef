// CSharedText: a string that two threads read and replace whole. The dialog keeps the name
// and key in force in two of these: the dialog's thread sets them when it reads them from the
// hosted network or starts it, and the registry command watcher when it renames the network.
// Any thread may call; every call copies under the object's own lock, so a reader never sees
// a half-written string. No errors.
#pragma once

#include <mutex>
#include <string>

namespace tethra::app {

class CSharedText {
 public:
  std::u16string Get() const {
    std::lock_guard lock(m_Mutex);
    return m_Text;
  }
  void Set(std::u16string text) {
    std::lock_guard lock(m_Mutex);
    m_Text = std::move(text);
  }

 private:
  mutable std::mutex m_Mutex;
  std::u16string m_Text;
};

}  // namespace tethra::app
