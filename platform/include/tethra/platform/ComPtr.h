// ComPtr<T>: owns one reference on a COM object (any T with AddRef and Release: the boundary's
// sharing interfaces, or the system's own COM interfaces inside the Win32 adapter) and gives
// it up with Release when it is reset, reassigned or destroyed. put() hands a cleared slot to
// an out-pointer that delivers a new reference; copyFrom() takes an additional reference on an
// object the caller keeps. Returns no codes. Not thread-safe; the owner's thread only.
#pragma once

#include <utility>

namespace tethra::platform {

template <typename T>
class ComPtr {
 public:
  ComPtr() = default;
  ComPtr(const ComPtr&) = delete;
  ComPtr& operator=(const ComPtr&) = delete;
  ComPtr(ComPtr&& other) noexcept : m_p(std::exchange(other.m_p, nullptr)) {}
  ComPtr& operator=(ComPtr&& other) noexcept {
    if (this != &other) {
      reset();
      m_p = std::exchange(other.m_p, nullptr);
    }
    return *this;
  }
  ~ComPtr() { reset(); }

  // Takes an additional reference on `p` (the caller keeps its own).
  void copyFrom(T* p) {
    if (p != nullptr) p->AddRef();
    reset();
    m_p = p;
  }
  void reset() {
    if (T* p = std::exchange(m_p, nullptr); p != nullptr) p->Release();
  }
  T** put() {
    reset();
    return &m_p;
  }
  T* get() const { return m_p; }
  T* operator->() const { return m_p; }
  explicit operator bool() const { return m_p != nullptr; }

 private:
  T* m_p = nullptr;
};

}  // namespace tethra::platform
