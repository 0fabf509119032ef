// RefPtr: adopting takes no reference, copying takes one, every holder gives back exactly the
// one it has (no more: a second Release would free an object someone else still uses).
#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "tethra/base/RefList.h"
#include "tethra/base/RefObject.h"
#include "tethra/base/RefPtr.h"
#include "tethra/platform/ComPtr.h"

namespace tethra::base {
namespace {

// Counts calls instead of freeing, so that a surplus Release shows as a count, not a crash.
struct Counted {
  std::int32_t AddRef() {
    ++addRefs;
    return ++refs;
  }
  std::int32_t Release() {
    ++releases;
    return --refs;
  }
  std::int32_t refs = 1;  // the creator's
  int addRefs = 0;
  int releases = 0;
};

class Tracked final : public CRefObject {
 public:
  explicit Tracked(int* destroyed) : m_Destroyed(destroyed) {}

 private:
  ~Tracked() override { ++*m_Destroyed; }
  int* m_Destroyed;
};

TEST(RefPtrTest, AdoptTakesNoReferenceAndGivesItBackOnce) {
  Counted object;
  {
    const auto held = RefPtr<Counted>::Adopt(&object);
    EXPECT_EQ(held.get(), &object);
    EXPECT_EQ(object.addRefs, 0);
  }
  EXPECT_EQ(object.releases, 1);
  EXPECT_EQ(object.refs, 0);
}

TEST(RefPtrTest, CopyTakesItsOwnReference) {
  Counted object;
  {
    const auto held = RefPtr<Counted>::Copy(&object);
    EXPECT_EQ(object.refs, 2);
  }
  EXPECT_EQ(object.refs, 1);  // the caller's reference is untouched
}

TEST(RefPtrTest, CopiesAndMovesKeepTheCountExact) {
  Counted object;
  {
    auto first = RefPtr<Counted>::Adopt(&object);
    RefPtr<Counted> second = first;
    EXPECT_EQ(object.refs, 2);
    RefPtr<Counted> third = std::move(first);
    EXPECT_FALSE(first);
    EXPECT_EQ(object.refs, 2);
    second = third;  // the same object: one reference in, one out
    EXPECT_EQ(object.refs, 2);
    RefPtr<Counted> fourth;
    fourth = second;
    EXPECT_EQ(object.refs, 3);
  }
  EXPECT_EQ(object.refs, 0);
  EXPECT_EQ(object.releases, object.addRefs + 1);
}

TEST(RefPtrTest, AssignmentGivesBackTheReferenceItReplaces) {
  Counted oldObject;
  Counted newObject;
  auto held = RefPtr<Counted>::Adopt(&oldObject);
  held = RefPtr<Counted>::Copy(&newObject);
  EXPECT_EQ(oldObject.refs, 0);
  EXPECT_EQ(newObject.refs, 2);
}

TEST(RefPtrTest, ResetReleasesExactlyOnce) {
  Counted object;
  auto held = RefPtr<Counted>::Adopt(&object);
  held.reset();
  held.reset();
  EXPECT_FALSE(held);
  EXPECT_EQ(object.releases, 1);
}

TEST(RefPtrTest, DetachHandsTheReferenceOutWithoutReleasing) {
  Counted object;
  {
    auto held = RefPtr<Counted>::Adopt(&object);
    EXPECT_EQ(held.detach(), &object);
    EXPECT_FALSE(held);
  }
  EXPECT_EQ(object.releases, 0);
  EXPECT_EQ(object.refs, 1);
}

TEST(RefPtrTest, PutGivesUpTheOldReferenceBeforeTheSlotIsFilled) {
  Counted oldObject;
  Counted newObject;
  auto held = RefPtr<Counted>::Adopt(&oldObject);
  Counted** slot = held.put();
  EXPECT_EQ(oldObject.refs, 0);
  EXPECT_EQ(*slot, nullptr);
  *slot = &newObject;  // as an out-pointer delivers its reference
  held.reset();
  EXPECT_EQ(newObject.refs, 0);
}

// What the boundary's COM code does as ComPtr: hold an object the caller keeps, then another.
TEST(RefPtrTest, CopyFromTakesItsOwnReferenceAndGivesBackTheOneItHeld) {
  Counted first;
  Counted second;
  platform::ComPtr<Counted> held;
  held.copyFrom(&first);
  EXPECT_EQ(first.refs, 2);
  held.copyFrom(&first);  // the same object again: one reference still
  EXPECT_EQ(first.refs, 2);
  held.copyFrom(&second);
  EXPECT_EQ(first.refs, 1);
  EXPECT_EQ(second.refs, 2);
  held.copyFrom(nullptr);
  EXPECT_FALSE(held);
  EXPECT_EQ(second.refs, 1);
}

TEST(RefPtrTest, DerivedObjectHeldThroughItsBaseIsDestroyedOnce) {
  int destroyed = 0;
  {
    RefPtr<CRefObject> asBase = RefPtr<Tracked>::Adopt(new Tracked(&destroyed));
    const RefPtr<CRefObject> another = asBase;
  }
  EXPECT_EQ(destroyed, 1);
}

TEST(RefPtrTest, ListAdoptsTheHoldersReferenceOnlyWhenStored) {
  int destroyed = 0;
  {
    CRefList<Tracked*> list;
    auto held = RefPtr<Tracked>::Adopt(new Tracked(&destroyed));
    Tracked* raw = held.get();
    ASSERT_TRUE(list.AddTail(std::move(held)));
    EXPECT_FALSE(held);
    const auto taken = RefPtr<Tracked>::Adopt(list.RemoveHead());
    EXPECT_EQ(taken.get(), raw);
    EXPECT_EQ(destroyed, 0);
  }
  EXPECT_EQ(destroyed, 1);
}

}  // namespace
}  // namespace tethra::base
