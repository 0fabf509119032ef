// The registry as the program sees it: separate views, raw value bytes, size queries, type
// restrictions, change notifications armed once, and the write fault.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "tethra/sim/Text.h"
#include "tethra/sim/World.h"

namespace {

using tethra::sim::SimRegistry;
using tethra::sim::World;
using tethra::sim::text::RegSzBytes;
namespace p = tethra::platform;

constexpr char16_t kSettings[] = u"Software\\Velmar\\Tethra\\";
constexpr p::Dword kAccess32 = p::kKEY_READ | p::kKEY_WRITE | p::kKEY_WOW64_32KEY;

class RegistryTest : public ::testing::Test {
 protected:
  World world{World::Options{}};
  tethra::sim::SimProcess& program = world.createProcess("tethra", true);
  p::IRegistry* reg = program.platform().registry;
  p::IKernel* kernel = program.platform().kernel;

  p::Hkey open(p::Dword access = kAccess32, const char16_t* path = kSettings) {
    p::Hkey key = nullptr;
    EXPECT_EQ(reg->regOpenKeyEx(p::kHKEY_LOCAL_MACHINE, path, 0, access, &key), p::kERROR_SUCCESS);
    return key;
  }
};

TEST_F(RegistryTest, ViewsAreSeparateAndPathsIgnoreCaseAndTrailingBackslash) {
  p::Hkey key = nullptr;
  p::Dword disposition = 0;
  ASSERT_EQ(reg->regCreateKeyEx(p::kHKEY_LOCAL_MACHINE, kSettings, 0, kAccess32, &key, &disposition),
            p::kERROR_SUCCESS);
  EXPECT_EQ(disposition, p::kREG_CREATED_NEW_KEY);
  const auto bytes = RegSzBytes(u"TethraNet", true);
  ASSERT_EQ(reg->regSetValueEx(key, u"Current SSID", p::kREG_SZ, bytes.data(), static_cast<p::Dword>(bytes.size())),
            p::kERROR_SUCCESS);
  EXPECT_EQ(reg->regCloseKey(key), p::kERROR_SUCCESS);

  p::Hkey native = nullptr;
  EXPECT_EQ(reg->regOpenKeyEx(p::kHKEY_LOCAL_MACHINE, kSettings, 0, p::kKEY_READ, &native), p::kERROR_FILE_NOT_FOUND);
  EXPECT_FALSE(world.registry().keyExists(SimRegistry::View::Native, u"software\\velmar\\tethra"));
  EXPECT_EQ(world.registry().getString(SimRegistry::View::Wow32, u"SOFTWARE\\VELMAR\\TETHRA", u"current ssid"),
            std::optional<std::u16string>(u"TethraNet"));

  p::Hkey again = open(kAccess32, u"software\\velmar\\TETHRA");
  p::Dword type = 0, size = 0;
  EXPECT_EQ(reg->regQueryValueEx(again, u"CURRENT SSID", &type, nullptr, &size), p::kERROR_SUCCESS);
  EXPECT_EQ(type, p::kREG_SZ);
  EXPECT_EQ(size, bytes.size());
  ASSERT_FALSE(world.transcript().events().empty());
  EXPECT_NE(world.transcript().events().back().find("registry set \"Current SSID\" = \"TethraNet\""), std::string::npos);
}

TEST_F(RegistryTest, ValuesAreRawBytesWhateverTheirType) {
  world.registry().setValue(SimRegistry::View::Wow32, kSettings, u"SSID", {p::kREG_SZ, RegSzBytes(u"AB", false)});
  const std::uint32_t five = 5;
  std::vector<std::uint8_t> dword(4);
  std::memcpy(dword.data(), &five, 4);
  world.registry().setValue(SimRegistry::View::Wow32, kSettings, u"Key", {p::kREG_DWORD, dword});
  p::Hkey key = open();

  std::uint8_t buffer[16] = {};
  p::Dword size = 2, type = 0;
  EXPECT_EQ(reg->regQueryValueEx(key, u"SSID", &type, buffer, &size), p::kERROR_MORE_DATA);
  EXPECT_EQ(size, 4u);
  size = sizeof buffer;
  ASSERT_EQ(reg->regQueryValueEx(key, u"SSID", &type, buffer, &size), p::kERROR_SUCCESS);
  EXPECT_EQ(size, 4u);  // no terminator is added
  EXPECT_EQ(std::vector<std::uint8_t>(buffer, buffer + 4), RegSzBytes(u"AB", false));

  size = sizeof buffer;
  ASSERT_EQ(reg->regQueryValueEx(key, u"Key", &type, buffer, &size), p::kERROR_SUCCESS);
  EXPECT_EQ(type, p::kREG_DWORD);
  EXPECT_EQ(std::vector<std::uint8_t>(buffer, buffer + size), dword);
  EXPECT_EQ(reg->regQueryValueEx(key, u"Missing", &type, nullptr, &size), p::kERROR_FILE_NOT_FOUND);
}

TEST_F(RegistryTest, GetValueRestrictsToThirtyTwoBitValues) {
  const char16_t kPolicy[] = u"SOFTWARE\\Policies\\Network Connections";
  auto set = [&](const char16_t* name, p::Dword type, std::vector<std::uint8_t> bytes) {
    world.registry().setValue(SimRegistry::View::Native, kPolicy, name, {type, std::move(bytes)});
  };
  set(u"Dword", p::kREG_DWORD, {1, 0, 0, 0});
  set(u"Binary4", p::kREG_BINARY, {2, 0, 0, 0});
  set(u"Binary3", p::kREG_BINARY, {2, 0, 0});
  set(u"Text", p::kREG_SZ, RegSzBytes(u"1", true));
  auto get = [&](const char16_t* name, std::uint32_t* out) {
    p::Dword size = 4, type = 0;
    return reg->regGetValue(p::kHKEY_LOCAL_MACHINE, kPolicy, name, p::kRRF_RT_DWORD, &type, out, &size);
  };
  std::uint32_t value = 0;
  EXPECT_EQ(get(u"Dword", &value), p::kERROR_SUCCESS);
  EXPECT_EQ(value, 1u);
  EXPECT_EQ(get(u"Binary4", &value), p::kERROR_SUCCESS);
  EXPECT_EQ(value, 2u);
  EXPECT_EQ(get(u"Binary3", &value), p::Win32Error{1630});
  EXPECT_EQ(get(u"Text", &value), p::Win32Error{1630});
  EXPECT_EQ(get(u"Absent", &value), p::kERROR_FILE_NOT_FOUND);
  // RRF_RT_REG_DWORD alone: a REG_DWORD only, four raw bytes are refused.
  auto getDwordOnly = [&](const char16_t* name, std::uint32_t* out) {
    p::Dword size = 4;
    return reg->regGetValue(p::kHKEY_LOCAL_MACHINE, kPolicy, name, p::kRRF_RT_REG_DWORD, nullptr, out, &size);
  };
  value = 0;
  EXPECT_EQ(getDwordOnly(u"Dword", &value), p::kERROR_SUCCESS);
  EXPECT_EQ(value, 1u);
  EXPECT_EQ(getDwordOnly(u"Binary4", &value), p::Win32Error{1630});
  EXPECT_EQ(value, 1u);
  p::Dword size = 4;
  EXPECT_EQ(reg->regGetValue(p::kHKEY_LOCAL_MACHINE, u"SOFTWARE\\Nowhere", u"Dword", p::kRRF_RT_DWORD, nullptr, &value,
                             &size),
            p::kERROR_FILE_NOT_FOUND);
}

// Only the program's strings count, whatever else it stores without a NUL.
TEST_F(RegistryTest, AStringWrittenWithoutItsTerminatorIsAMisuse) {
  world.registry().setValue(SimRegistry::View::Wow32, kSettings, u"Preset", {p::kREG_SZ, RegSzBytes(u"AB", false)});
  p::Hkey key = open();
  const auto terminated = RegSzBytes(u"AB", true);
  const auto bare = RegSzBytes(u"AB", false);
  EXPECT_EQ(reg->regSetValueEx(key, u"Kept", p::kREG_SZ, terminated.data(), 6), p::kERROR_SUCCESS);
  EXPECT_EQ(reg->regSetValueEx(key, u"Empty", p::kREG_SZ, terminated.data() + 4, 2), p::kERROR_SUCCESS);
  EXPECT_EQ(reg->regSetValueEx(key, u"Raw", p::kREG_BINARY, bare.data(), 4), p::kERROR_SUCCESS);
  EXPECT_TRUE(world.registry().misuses().empty());

  EXPECT_EQ(reg->regSetValueEx(key, u"Current SSID", p::kREG_SZ, bare.data(), 4), p::kERROR_SUCCESS);
  EXPECT_EQ(reg->regSetValueEx(key, u"Odd", p::kREG_SZ, terminated.data(), 5), p::kERROR_SUCCESS);
  EXPECT_EQ(reg->regSetValueEx(key, u"None", p::kREG_SZ, nullptr, 0), p::kERROR_SUCCESS);
  EXPECT_EQ(world.registry().misuses(),
            (std::vector<std::string>{"\"Current SSID\" written as REG_SZ without its terminating NUL (4 bytes)",
                                      "\"Odd\" written as REG_SZ without its terminating NUL (5 bytes)",
                                      "\"None\" written as REG_SZ without its terminating NUL (0 bytes)"}));
}

TEST_F(RegistryTest, NotificationFiresOncePerArmingForMachineAndProgramWrites) {
  world.registry().createKey(SimRegistry::View::Wow32, kSettings);
  world.registry().createKey(SimRegistry::View::Wow32, u"Software\\Velmar\\Tethra\\Sub");
  p::Hkey key = open();
  const p::Handle event = kernel->createEvent(false, false);
  auto arm = [&] { return reg->regNotifyChangeKeyValue(key, false, p::kREG_NOTIFY_CHANGE_LAST_SET, event, true); };
  auto machineWrite = [&](const char16_t* path) {
    world.registry().setValue(SimRegistry::View::Wow32, path, u"Action", {p::kREG_SZ, RegSzBytes(u"close", true)});
  };

  ASSERT_EQ(arm(), p::kERROR_SUCCESS);
  machineWrite(u"Software\\Velmar\\Tethra\\Sub");  // below the key, no subtree watch
  machineWrite(u"Software\\Velmar\\Tethra\\Other");  // creating a subkey is no value change
  EXPECT_EQ(kernel->waitForSingleObject(event, 0), p::kWAIT_TIMEOUT);
  machineWrite(kSettings);
  world.registry().setValue(SimRegistry::View::Native, kSettings, u"Action", {p::kREG_SZ, {}});  // other view
  machineWrite(kSettings);
  EXPECT_EQ(kernel->waitForSingleObject(event, 0), p::kWAIT_OBJECT_0);
  EXPECT_EQ(kernel->waitForSingleObject(event, 0), p::kWAIT_TIMEOUT);  // once per arming

  machineWrite(kSettings);
  EXPECT_EQ(kernel->waitForSingleObject(event, 0), p::kWAIT_TIMEOUT);  // not armed
  ASSERT_EQ(arm(), p::kERROR_SUCCESS);
  const auto bytes = RegSzBytes(u"x", true);
  ASSERT_EQ(reg->regSetValueEx(key, u"Current Key", p::kREG_SZ, bytes.data(), 4), p::kERROR_SUCCESS);
  EXPECT_EQ(kernel->waitForSingleObject(event, 0), p::kWAIT_OBJECT_0);
}

TEST_F(RegistryTest, WriteFaultDeniesProgramWritesOnly) {
  world.faults().add({"registry-write", "", 0, -1, -1});
  world.registry().createKey(SimRegistry::View::Wow32, kSettings);
  p::Hkey key = open();
  const auto bytes = RegSzBytes(u"", true);
  EXPECT_EQ(reg->regSetValueEx(key, u"Action", p::kREG_SZ, bytes.data(), 2), p::Win32Error{5});
  EXPECT_FALSE(world.registry().getValue(SimRegistry::View::Wow32, kSettings, u"Action").has_value());
  world.registry().setValue(SimRegistry::View::Wow32, kSettings, u"Action", {p::kREG_SZ, bytes});
  EXPECT_TRUE(world.registry().getValue(SimRegistry::View::Wow32, kSettings, u"Action").has_value());
  EXPECT_TRUE(world.transcript().events().empty());

  p::Hkey readOnly = open(p::kKEY_READ | p::kKEY_WOW64_32KEY);
  world.faults() = {};
  EXPECT_EQ(reg->regSetValueEx(readOnly, u"Action", p::kREG_SZ, bytes.data(), 2), p::Win32Error{5});
  EXPECT_EQ(reg->regSetValueEx(key, u"Action", p::kREG_SZ, bytes.data(), 2), p::kERROR_SUCCESS);
}

}  // namespace
