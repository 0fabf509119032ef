// The command word of "Action", and the watcher's refusal to wait on a key it cannot use.
#include <gtest/gtest.h>

#include "tethra/controller/CommandWatcher.h"
#include "tethra/test/FailingAreas.h"

namespace tethra::controller {
namespace {

TEST(ParseActionTest, FindsTheWordAnywhereInAnyCaseAndCloseWins) {
  EXPECT_EQ(ParseAction(u"close"), Command::Close);
  EXPECT_EQ(ParseAction(u"Please CLOSE now"), Command::Close);
  EXPECT_EQ(ParseAction(u"SSID"), Command::Ssid);
  EXPECT_EQ(ParseAction(u"change-ssid"), Command::Ssid);
  EXPECT_EQ(ParseAction(u"ssid, then close"), Command::Close);
  EXPECT_EQ(ParseAction(u""), Command::None);
  EXPECT_EQ(ParseAction(u"clos ssi"), Command::None);
  EXPECT_EQ(ParseAction(u"\u0130SSID"), Command::Ssid);  // non-ASCII letters are left alone
}

// The settings key cannot be opened: the watcher publishes its event and ends at once, without
// waiting and without calling a handler.
TEST(WatchCommandsTest, EndsAtOnceWhenTheSettingsKeyCannotBeOpened) {
  struct EventOnlyKernel : test::FailingKernel {
    platform::Handle createEvent(bool, bool) override { return reinterpret_cast<platform::Handle>(0xE7); }
  } kernel;
  test::FailingRegistry registry;  // every call fails
  std::atomic<platform::Handle> event{nullptr};
  int handled = 0;
  CommandHandlers handlers{[] { return false; }, [&] { ++handled; }, [&](platform::Hkey) { ++handled; }};
  WatchCommands(kernel, registry, event, handlers);
  EXPECT_EQ(event.load(), reinterpret_cast<platform::Handle>(0xE7));
  EXPECT_EQ(handled, 0);
  EXPECT_TRUE(kernel.unexpectedCalls().empty());  // above all, no wait
  EXPECT_EQ(registry.unexpectedCalls(), std::vector<std::string>{"regCreateKeyEx"});
}

}  // namespace
}  // namespace tethra::controller
