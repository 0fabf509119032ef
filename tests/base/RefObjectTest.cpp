// CRefObject counting and CRefList ownership: one reference per element, tail-first release,
// node reuse across many cycles.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tethra/base/RefList.h"
#include "tethra/base/RefObject.h"

namespace tethra::base {
namespace {

class Tracked final : public CRefObject {
 public:
  Tracked(std::vector<int>* destroyed, int id) : m_Destroyed(destroyed), m_Id(id) {}
  int id() const { return m_Id; }

 private:
  ~Tracked() override {
    if (m_Destroyed != nullptr) m_Destroyed->push_back(m_Id);
  }
  std::vector<int>* m_Destroyed;
  int m_Id;
};

TEST(RefObjectTest, CountsAndDestroysOnLastRelease) {
  std::vector<int> destroyed;
  const auto live = CRefObject::LiveObjects();
  auto* object = new Tracked(&destroyed, 1);
  EXPECT_EQ(CRefObject::LiveObjects(), live + 1);
  EXPECT_EQ(object->AddRef(), 2);
  EXPECT_EQ(object->Release(), 1);
  EXPECT_TRUE(destroyed.empty());
  EXPECT_EQ(object->Release(), 0);
  EXPECT_EQ(destroyed, std::vector<int>{1});
  EXPECT_EQ(CRefObject::LiveObjects(), live);
}

// An object whose count reached 0 is being destroyed: AddRef from its destructor's callees
// must not revive it.
class Reviver final : public CRefObject {
 public:
  explicit Reviver(std::int32_t* seen) : m_Seen(seen) {}

 private:
  ~Reviver() override { *m_Seen = AddRef(); }
  std::int32_t* m_Seen;
};

TEST(RefObjectTest, AddRefDuringDestructionReturnsZero) {
  std::int32_t seen = -1;
  (new Reviver(&seen))->Release();
  EXPECT_EQ(seen, 0);
}

TEST(RefListTest, ListOwnsOneReferencePerElement) {
  std::vector<int> destroyed;
  {
    CRefList<Tracked*> list;
    ASSERT_TRUE(list.AddTail(new Tracked(&destroyed, 1)));
    ASSERT_TRUE(list.AddTail(new Tracked(&destroyed, 2)));
    EXPECT_EQ(list.GetCount(), 2u);
  }
  EXPECT_EQ(destroyed, (std::vector<int>{2, 1}));  // destroyed once each, tail first
}

TEST(RefListTest, RemoveHeadHandsOverTheReferenceUnchanged) {
  std::vector<int> destroyed;
  CRefList<Tracked*> list;
  auto* first = new Tracked(&destroyed, 1);
  ASSERT_TRUE(list.AddTail(first));
  ASSERT_TRUE(list.AddTail(new Tracked(&destroyed, 2)));
  Tracked* taken = list.RemoveHead();
  EXPECT_EQ(taken, first);
  EXPECT_EQ(list.GetCount(), 1u);
  EXPECT_EQ(taken->AddRef(), 2);  // still exactly the one reference the list held
  taken->Release();
  EXPECT_TRUE(destroyed.empty());
  EXPECT_EQ(taken->Release(), 0);
  EXPECT_EQ(destroyed, std::vector<int>{1});
}

TEST(RefListTest, ReleaseAllGoesFromTailToHead) {
  std::vector<int> destroyed;
  CRefList<Tracked*> list;
  for (int id = 1; id <= 3; ++id) ASSERT_TRUE(list.AddTail(new Tracked(&destroyed, id)));
  list.ReleaseAll();
  EXPECT_EQ(destroyed, (std::vector<int>{3, 2, 1}));
  EXPECT_TRUE(list.IsEmpty());
  EXPECT_EQ(list.RemoveHead(), nullptr);
}

TEST(RefListTest, WalkAndRemoveAtKeepOrderAndLinks) {
  std::vector<int> destroyed;
  CRefList<Tracked*> list;
  for (int id = 1; id <= 4; ++id) ASSERT_TRUE(list.AddTail(new Tracked(&destroyed, id)));
  // Remove the middle ones found during a walk, then the tail.
  auto pos = list.GetHeadPosition();
  while (pos != nullptr) {
    const auto current = pos;
    Tracked* element = list.GetNext(pos);
    if (element->id() == 2 || element->id() == 4) list.RemoveAt(current)->Release();
  }
  std::vector<int> left;
  for (auto walk = list.GetHeadPosition(); walk != nullptr;) left.push_back(list.GetNext(walk)->id());
  EXPECT_EQ(left, (std::vector<int>{1, 3}));
  EXPECT_EQ(destroyed, (std::vector<int>{2, 4}));
  ASSERT_TRUE(list.AddTail(new Tracked(&destroyed, 5)));  // the tail link was repaired
  list.ReleaseAll();
  EXPECT_EQ(destroyed, (std::vector<int>{2, 4, 5, 3, 1}));
}

TEST(RefListTest, SwapMovesElementsAndStorage) {
  std::vector<int> destroyed;
  CRefList<Tracked*> list, other;
  for (int id = 1; id <= 12; ++id) ASSERT_TRUE(list.AddTail(new Tracked(&destroyed, id)));  // two node blocks
  other.Swap(list);
  EXPECT_TRUE(list.IsEmpty());
  EXPECT_EQ(other.GetCount(), 12u);
  Tracked* head = other.RemoveHead();
  EXPECT_EQ(head->id(), 1);
  head->Release();
  ASSERT_TRUE(list.AddTail(new Tracked(&destroyed, 13)));  // the emptied list allocates afresh
  list.ReleaseAll();
  other.ReleaseAll();
  EXPECT_EQ(destroyed.size(), 13u);
  EXPECT_EQ(destroyed[1], 13);
  EXPECT_EQ(destroyed.back(), 2);
}

// Nodes come back to the free list: many append/remove cycles leave the object count where
// it started and every element released exactly once.
TEST(RefListTest, ReusesNodesAcrossCycles) {
  std::vector<int> destroyed;
  CRefList<Tracked*> list;
  for (int round = 0; round < 100; ++round) {
    for (int i = 0; i < 15; ++i) ASSERT_TRUE(list.AddTail(new Tracked(&destroyed, round * 100 + i)));
    while (list.GetCount() > 0) list.RemoveHead()->Release();
  }
  EXPECT_EQ(destroyed.size(), 1500u);
  EXPECT_EQ(destroyed[15], 100);
}

}  // namespace
}  // namespace tethra::wlan
