// The name-and-key notice on the simulated notebook: the controller reads "Current SSID" and
// "Current Key" from the settings, and they must hold the name and key in use (what the
// program shows and its next start asks for), also where those in force differ from them.
#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "tethra/app/ControllerWindowLink.h"
#include "tethra/app/DialogState.h"
#include "tethra/controller/SettingsKey.h"
#include "tethra/sim/World.h"

namespace tethra::app {
namespace {

using sim::SimRegistry;

struct NoticeCase {
  const char* what;
  std::u16string nameInForce, keyInForce, nameInUse, keyInUse;
};

TEST(NameAndKeyNoticeTest, SendsTheNameAndKeyInUseWhereThoseInForceDiffer) {
  const NoticeCase cases[] = {
      // A failed rename whose name the service read back in another case: the name in force is
      // the one read back; the edit shows, and the next start asks for, the controller's.
      {"rename read back in another case", u"workshop", u"Workshop-key", u"Workshop", u"Workshop-key"},
      // Reading the network's name and key again where the key's read failed: the name in force
      // is new, the key in force and the pair in use stay as they were.
      {"key read failed", u"Attic", u"", u"TethraNet", u"TethraNet-key"},
  };
  for (const NoticeCase& c : cases) {
    sim::World world{sim::World::Options{}};
    const platform::Platform& p = world.createProcess("tethra", true).platform();
    // No window found: settings only.
    CControllerWindowLink link(*p.windows, *p.kernel, *p.registry, *p.trace, u"/ShareLAN");
    CDialogState state;
    state.NameInForce().Set(c.nameInForce);
    state.KeyInForce().Set(c.keyInForce);
    state.NameToUse().Set(c.nameInUse);
    state.KeyToUse().Set(c.keyInUse);

    link.SendNameAndKey(nullptr, state);
    auto setting = [&](const char16_t* name) {
      return world.registry().getString(SimRegistry::View::Wow32, controller::kSettingsKeyPath, name);
    };
    EXPECT_EQ(setting(u"Current SSID"), std::optional<std::u16string>(c.nameInUse)) << c.what;
    EXPECT_EQ(setting(u"Current Key"), std::optional<std::u16string>(c.keyInUse)) << c.what;
  }
}

}  // namespace
}  // namespace tethra::app
