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
    while (m_Blocks != nullptr) delete std::exchange(m_Blocks, m_Blocks->nextBlock);
  }

  std::size_t GetCount() const { return m_Count; }
  bool IsEmpty() const { return m_Count == 0; }

  [[nodiscard]] bool AddTail(T element) {
    Node* node = TakeFreeNode();
    if (node == nullptr) return false;
    node->element = element;
    node->prev = m_Tail;
    node->next = nullptr;
    (m_Tail != nullptr ? m_Tail->next : m_Head) = node;
    m_Tail = node;
    ++m_Count;
    return true;
  }
  [[nodiscard]] bool AddTail(RefPtr<std::remove_pointer_t<T>>&& element) {
    if (!AddTail(element.get())) return false;
    static_cast<void>(element.detach());  // the list holds it now
    return true;
  }

  // Callers test the count first; an empty list gives null.
  T RemoveHead() { return m_Head != nullptr ? RemoveAt(m_Head) : nullptr; }

  // Walk from the head: pos = GetHeadPosition(); while (pos) { cur = pos; T e = GetNext(pos); }
  Position GetHeadPosition() const { return m_Head; }
  T GetNext(Position& pos) const {
    T element = pos->element;
    pos = pos->next;
    return element;
  }

  // Unlinks the element at a position found during a walk; the reference goes to the caller.
  T RemoveAt(Position pos) {
    (pos->prev != nullptr ? pos->prev->next : m_Head) = pos->next;
    (pos->next != nullptr ? pos->next->prev : m_Tail) = pos->prev;
    T element = pos->element;
    pos->element = nullptr;
    pos->prev = nullptr;
    pos->next = m_Free;
    m_Free = pos;
    --m_Count;
    return element;
  }

  // Releases every element, tail first.
  void ReleaseAll() {
    while (m_Tail != nullptr) RemoveAt(m_Tail)->Release();
  }

  // Exchanges contents and node storage: moves a whole list without allocating.
  void Swap(CRefList& other) noexcept {
    std::swap(m_Head, other.m_Head);
    std::swap(m_Tail, other.m_Tail);
    std::swap(m_Free, other.m_Free);
    std::swap(m_Blocks, other.m_Blocks);
    std::swap(m_Count, other.m_Count);
  }

 private:
  Node* TakeFreeNode() {
    if (m_Free == nullptr) {
      Block* block = new (std::nothrow) Block;
      if (block == nullptr) return nullptr;
      block->nextBlock = m_Blocks;
      m_Blocks = block;
      for (Node& node : block->nodes) {
        node.next = m_Free;
        m_Free = &node;
      }
    }
    return std::exchange(m_Free, m_Free->next);
  }

  Node* m_Head = nullptr;
  Node* m_Tail = nullptr;
  Node* m_Free = nullptr;
  Block* m_Blocks = nullptr;
  std::size_t m_Count = 0;
};

}  // namespace tethra::base
