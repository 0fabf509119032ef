// Loading a system DLL: the system-directory search first, the full path only where the loader
// rejects that search (Windows 7 without its loader update), never anywhere else.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tethra/win32/SystemLibraryRule.h"

namespace tethra::win32 {
namespace {

int g_module;  // the address stands for a loaded module

struct FakeLoader {
  // What the system-directory search does: load, or fail with this error.
  bool searchLoads = false;
  std::uint32_t searchError = kLoaderErrorInvalidParameter;
  bool pathLoads = true;
  std::u16string directory = u"C:\\Windows\\system32";

  std::uint32_t error = 0;
  std::vector<std::u16string> searched;
  std::vector<std::u16string> byPath;

  int* loadSearchingSystemDirectory(std::u16string_view name) {
    searched.emplace_back(name);
    if (searchLoads) return &g_module;
    error = searchError;
    return nullptr;
  }
  int* loadByFullPath(const std::u16string& path) {
    byPath.push_back(path);
    if (pathLoads) return &g_module;
    error = kLoaderErrorModNotFound;
    return nullptr;
  }
  std::uint32_t lastError() { return error; }
  void setLastError(std::uint32_t code) { error = code; }
  std::u16string systemDirectory() { return directory; }
};

TEST(SystemLibraryTest, TheSystemDirectorySearchIsTheOnlyStepWhereTheLoaderAcceptsIt) {
  FakeLoader found;
  found.searchLoads = true;
  EXPECT_EQ(LoadFromSystemDirectory(found, u"wtsapi32.dll"), &g_module);
  EXPECT_TRUE(found.byPath.empty());

  // Missing from the system directory: not looked for anywhere else, the loader's reason kept.
  FakeLoader missing;
  missing.searchError = kLoaderErrorModNotFound;
  EXPECT_EQ(LoadFromSystemDirectory(missing, u"netshell.dll"), nullptr);
  EXPECT_TRUE(missing.byPath.empty());
  EXPECT_EQ(missing.error, kLoaderErrorModNotFound);
}

TEST(SystemLibraryTest, ALoaderWithoutTheSearchFlagLoadsByTheFullSystemPath) {
  FakeLoader old;
  EXPECT_EQ(LoadFromSystemDirectory(old, u"wtsapi32.dll"), &g_module);
  ASSERT_EQ(old.byPath.size(), 1u);
  EXPECT_EQ(old.byPath[0], u"C:\\Windows\\system32\\wtsapi32.dll");

  FakeLoader absent;
  absent.pathLoads = false;
  EXPECT_EQ(LoadFromSystemDirectory(absent, u"wlanapi.dll"), nullptr);
  EXPECT_EQ(absent.error, kLoaderErrorModNotFound);
}

TEST(SystemLibraryTest, ASystemPathThatCannotBeNamedFailsAsAMissingModule) {
  FakeLoader unnamed;
  unnamed.directory.clear();
  EXPECT_EQ(LoadFromSystemDirectory(unnamed, u"wlanapi.dll"), nullptr);
  EXPECT_EQ(unnamed.error, kLoaderErrorModNotFound);
  EXPECT_TRUE(unnamed.byPath.empty());

  // 259 units of path and its terminator fit in MAX_PATH; one more does not.
  const std::u16string name = u"wlanapi.dll";
  FakeLoader fits;
  fits.directory = std::u16string(kLoaderMaxPath - name.size() - 2, u'd');
  EXPECT_EQ(LoadFromSystemDirectory(fits, name), &g_module);
  EXPECT_EQ(fits.byPath.at(0).size(), kLoaderMaxPath - 1);
  FakeLoader tooLong;
  tooLong.directory = std::u16string(kLoaderMaxPath - name.size() - 1, u'd');
  EXPECT_EQ(LoadFromSystemDirectory(tooLong, name), nullptr);
  EXPECT_TRUE(tooLong.byPath.empty());
}

}  // namespace
}  // namespace tethra::win32
