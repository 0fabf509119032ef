// CRefList<T>: a doubly linked list holding exactly one reference on each element (T is a
// pointer to a CRefObject-derived class). Append adopts the caller's reference; removing hands
// the list's reference to the taker. Nodes come in blocks of ten and are kept for reuse until
// the list is destroyed. No lock of its own: the owner's lock covers every call.
// Append returns false (and adopts nothing) only when a node block cannot be allocated; a
// RefPtr handed to Append then still holds its reference.
#pragma once

#include <cstddef>
#include <new>
#include <type_traits>
#include <utility>

#include "tethra/base/RefPtr.h"

namespace tethra::base {

template <typename T>
class CRefList {
  static_assert(std::is_pointer_v<T>, "CRefList holds pointers to reference-counted objects");

  struct Node {
    T element = nullptr;
    Node* prev = nullptr;
    Node* next = nullptr;
  };
  static constexpr std::size_t kNodesPerBlock = 10;
  struct Block {
    Block* nextBlock = nullptr;
    Node nodes[kNodesPerBlock];
  };

 public:
  using Position = Node*;

  CRefList() = default;
  CRefList(const CRefList&) = delete;
  CRefList& operator=(const CRefList&) = delete;
  ~CRefList() {
    ReleaseAll();
    while (m_blocks != nullptr) delete std::exchange(m_blocks, m_blocks->nextBlock);
  }

  std::size_t GetCount() const { return m_count; }
  bool IsEmpty() const { return m_count == 0; }

  [[nodiscard]] bool AddTail(T element) {
    Node* node = TakeFreeNode();
    if (node == nullptr) return false;
    node->element = element;
    node->prev = m_tail;
    node->next = nullptr;
    (m_tail != nullptr ? m_tail->next : m_head) = node;
    m_tail = node;
    ++m_count;
    return true;
  }
  [[nodiscard]] bool AddTail(RefPtr<std::remove_pointer_t<T>>&& element) {
    if (!AddTail(element.get())) return false;
    static_cast<void>(element.detach());  // the list holds it now
    return true;
  }

  // Callers test the count first; an empty list gives null.
  T RemoveHead() { return m_head != nullptr ? RemoveAt(m_head) : nullptr; }

  // Walk from the head: pos = GetHeadPosition(); while (pos) { cur = pos; T e = GetNext(pos); }
  Position GetHeadPosition() const { return m_head; }
  T GetNext(Position& pos) const {
    T element = pos->element;
    pos = pos->next;
    return element;
  }

  // Unlinks the element at a position found during a walk; the reference goes to the caller.
  T RemoveAt(Position pos) {
    (pos->prev != nullptr ? pos->prev->next : m_head) = pos->next;
    (pos->next != nullptr ? pos->next->prev : m_tail) = pos->prev;
    T element = pos->element;
    pos->element = nullptr;
    pos->prev = nullptr;
    pos->next = m_free;
    m_free = pos;
    --m_count;
    return element;
  }

  // Releases every element, tail first.
  void ReleaseAll() {
    while (m_tail != nullptr) RemoveAt(m_tail)->Release();
  }

  // Exchanges contents and node storage: moves a whole list without allocating.
  void Swap(CRefList& other) noexcept {
    std::swap(m_head, other.m_head);
    std::swap(m_tail, other.m_tail);
    std::swap(m_free, other.m_free);
    std::swap(m_blocks, other.m_blocks);
    std::swap(m_count, other.m_count);
  }

 private:
  Node* TakeFreeNode() {
    if (m_free == nullptr) {
      Block* block = new (std::nothrow) Block;
      if (block == nullptr) return nullptr;
      block->nextBlock = m_blocks;
      m_blocks = block;
      for (Node& node : block->nodes) {
        node.next = m_free;
        m_free = &node;
      }
    }
    return std::exchange(m_free, m_free->next);
  }

  Node* m_head = nullptr;
  Node* m_tail = nullptr;
  Node* m_free = nullptr;
  Block* m_blocks = nullptr;
  std::size_t m_count = 0;
};

}  // namespace tethra::base
