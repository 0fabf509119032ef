// RefPtr<T>: holds one reference on a reference-counted object: a CRefObject-derived class, a
// COM interface of the boundary or of the system, anything with AddRef and Release (the
// boundary's ComPtr is this template under its COM name). Adopt takes over a reference the
// caller already has (the creator's first one, one taken out of a list or returned by an
// accessor); Copy takes a new one. Copying a RefPtr adds a reference, moving hands it over;
// reset, assignment and the destructor give the held reference back exactly once. copyFrom()
// swaps in a new reference on an object the caller keeps; put() hands an emptied slot to an
// out-pointer that delivers a reference; detach() hands the reference to the caller (into a
// list, a control's item data) and never calls Release. Returns no codes.
//
// Threads: one RefPtr belongs to one thread at a time; the count it changes is atomic, so
// several threads may each hold their own RefPtr on the same object.
#pragma once

#include <type_traits>
#include <utility>

namespace tethra::base {

template <typename T>
class RefPtr {
 public:
  RefPtr() noexcept = default;

  [[nodiscard]] static RefPtr Adopt(T* p) noexcept {
    RefPtr held;
    held.m_P = p;
    return held;
  }
  [[nodiscard]] static RefPtr Copy(T* p) noexcept {
    if (p != nullptr) p->AddRef();
    return Adopt(p);
  }

  RefPtr(const RefPtr& other) noexcept : m_P(other.m_P) {
    if (m_P != nullptr) m_P->AddRef();
  }
  RefPtr(RefPtr&& other) noexcept : m_P(std::exchange(other.m_P, nullptr)) {}
  // A reference on a derived object is a reference on its base.
  template <typename U, typename = std::enable_if_t<std::is_convertible_v<U*, T*>>>
  RefPtr(RefPtr<U>&& other) noexcept : m_P(other.detach()) {}

  // By value: a copy or a move made first, then swapped in, so self-assignment is harmless.
  RefPtr& operator=(RefPtr other) noexcept {
    swap(other);
    return *this;
  }
  ~RefPtr() { reset(); }

  // Holds `p` with a reference of its own (the caller keeps its own); gives up what was held.
  void copyFrom(T* p) noexcept { *this = Copy(p); }

  T* get() const noexcept { return m_P; }
  T* operator->() const noexcept { return m_P; }
  T& operator*() const noexcept { return *m_P; }
  explicit operator bool() const noexcept { return m_P != nullptr; }

  // The held reference becomes the caller's; the RefPtr is left empty.
  [[nodiscard]] T* detach() noexcept { return std::exchange(m_P, nullptr); }
  void reset() noexcept {
    if (T* p = std::exchange(m_P, nullptr); p != nullptr) p->Release();
  }
  // Gives up what is held and returns the empty slot, for an out-pointer that delivers a
  // reference.
  T** put() noexcept {
    reset();
    return &m_P;
  }
  void swap(RefPtr& other) noexcept { std::swap(m_P, other.m_P); }

 private:
  T* m_P = nullptr;
};

}  // namespace tethra::base
