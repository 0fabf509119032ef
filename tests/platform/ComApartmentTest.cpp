// ComApartment: every successful initialisation (S_FALSE too, which the platform counts) is
// undone exactly once; a failed one is never undone, since that would end an apartment the
// thread entered elsewhere.
#include <gtest/gtest.h>

#include "tethra/platform/Com.h"

namespace tethra::platform {
namespace {

class CountingCom final : public IComRuntime {
 public:
  HResult coInitializeEx(Dword) override { return kS_OK; }
  HResult coInitialize() override { return kS_OK; }
  void coUninitialize() override { ++uninitialized; }
  HResult coInitializeSecurity(Dword, Dword, Dword) override { return kS_OK; }
  int uninitialized = 0;
};

int UninitializeCallsFor(HResult initResult) {
  CountingCom com;
  {
    const ComApartment apartment(&com, initResult);
    EXPECT_EQ(apartment.result(), initResult);
    EXPECT_EQ(com.uninitialized, 0);  // not before the scope ends
  }
  return com.uninitialized;
}

TEST(ComApartmentTest, UndoesEachSuccessfulInitialisationOnce) {
  EXPECT_EQ(UninitializeCallsFor(kS_OK), 1);
  EXPECT_EQ(UninitializeCallsFor(kS_FALSE), 1);
}

TEST(ComApartmentTest, LeavesAFailedInitialisationAlone) {
  EXPECT_EQ(UninitializeCallsFor(kRPC_E_CHANGED_MODE), 0);
  EXPECT_EQ(UninitializeCallsFor(kE_FAIL), 0);
}

TEST(ComApartmentTest, NeedsNoRuntime) {
  const ComApartment apartment(nullptr, kS_OK);  // a platform without COM: nothing to undo
  EXPECT_EQ(apartment.result(), kS_OK);
}

}  // namespace
}  // namespace tethra::platform
