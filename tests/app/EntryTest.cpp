// The program's entry refuses a platform with an empty area before it calls anything: every
// component past the entry takes its areas as references.
#include <gtest/gtest.h>

#include "tethra/app/Entry.h"
#include "tethra/test/FailingAreas.h"

namespace tethra::app {
namespace {

TEST(RunTethraTest, RefusesAnIncompletePlatformWithoutACall) {
  test::FailingPlatform areas;
  platform::Platform missingOne = areas.all();
  missingOne.modules = nullptr;
  EXPECT_EQ(RunTethra(missingOne, u"/ShareLAN"), kExitIncompletePlatform);

  for (const auto& log : std::initializer_list<const test::UnexpectedCallLog*>{
           &areas.kernel, &areas.registry, &areas.windows, &areas.systemEvents, &areas.codePage, &areas.wlan,
           &areas.security, &areas.processStart, &areas.com, &areas.sharing, &areas.modules,
           &areas.hotspot}) {
    EXPECT_TRUE(log->unexpectedCalls().empty());
  }
}

}  // namespace
}  // namespace tethra::app
