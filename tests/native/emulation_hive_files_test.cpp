// Hive files that are not loaded, opened through advapi32's RegLoadAppKeyW
// as the engine finds it at run time, and written back to.
#include <stdexcept>

#include "native/emulation_fixture.h"

namespace {

using registry_test::Create;
using registry_test::Open;
using registry_test::Probe;
using registry_test::SubKeys;

constexpr win::DWORD kProcessAppKey = 1;  // REG_PROCESS_APPKEY
const char16_t kBob[] = u"C:\\Users\\bob\\NTUSER.DAT";
const char kBobHive[] =
    "<C:\\Users\\bob\\NTUSER.DAT>\\Software\\Autodesk\n"
    "  v = dword:1\n";

win::RegLoadAppKeyWFn LoadAppKeyFunction() {
  return reinterpret_cast<win::RegLoadAppKeyWFn>(
      win::GetProcAddress(win::GetModuleHandleW(u"ADVAPI32"), "RegLoadAppKeyW"));
}

class EmulationHiveFilesTest : public EmulationTest {
 protected:
  void SetUp() override {
    Start(kBobHive);
    load_ = LoadAppKeyFunction();
    ASSERT_NE(load_, nullptr);
    emu::ClearCalls();
  }
  win::LONG LoadHive(const char16_t* file, ScopedKey* key, win::REGSAM access = win::KEY_ALL_ACCESS,
                     win::DWORD options = 0, win::DWORD reserved = 0) {
    return load_(file, key->Receive(), access, options, reserved);
  }

  win::RegLoadAppKeyWFn load_ = nullptr;
};

TEST_F(EmulationHiveFilesTest, RegLoadAppKeyIsFoundThroughAdvapi32UnlessMissing) {
  win::HMODULE advapi32 = win::GetModuleHandleW(u"advapi32.dll");
  EXPECT_NE(advapi32, nullptr);
  EXPECT_EQ(win::GetModuleHandleW(u"ADVAPI32.DLL"), advapi32);
  EXPECT_EQ(win::GetProcAddress(advapi32, "RegLoadAppKeyW"), reinterpret_cast<win::FARPROC>(load_));
  EXPECT_EQ(win::GetProcAddress(win::GetModuleHandleW(u"KERNEL32"), "RegLoadAppKeyW"), nullptr);
  EXPECT_EQ(win::GetProcAddress(advapi32, "regloadappkeyw"), nullptr);  // export names are exact
  emu::SetRegLoadAppKeyExported(false);
  EXPECT_EQ(win::GetProcAddress(advapi32, "RegLoadAppKeyW"), nullptr);
  emu::Reset();
  EXPECT_NE(LoadAppKeyFunction(), nullptr);
}

TEST_F(EmulationHiveFilesTest, LoadGivesTheFilesRootWithTheAccessAsked) {
  ScopedKey root;
  ASSERT_EQ(LoadHive(u"c:\\users\\BOB\\ntuser.dat", &root, win::KEY_READ, kProcessAppKey),
            win::ERROR_SUCCESS);
  ASSERT_NE(root.get(), nullptr);
  EXPECT_EQ(emu::OpenHandleCount(), 1u);
  const emu::Call& load = emu::Calls().back();
  EXPECT_EQ(load.function, "RegLoadAppKeyW");
  EXPECT_EQ(load.path, "<C:\\Users\\bob\\NTUSER.DAT>");  // the stored spelling
  EXPECT_EQ(load.access, win::KEY_READ);
  EXPECT_EQ(load.result, win::ERROR_SUCCESS);

  EXPECT_EQ(SubKeys(root.get()), std::vector<std::u16string>{u"Software"});
  EXPECT_EQ(registry_test::SetDword(root.get(), u"x", 1), win::ERROR_ACCESS_DENIED);
  ScopedKey key;
  ASSERT_EQ(Open(root.get(), u"software\\autodesk", &key, win::KEY_READ), win::ERROR_SUCCESS);
  EXPECT_EQ(emu::Calls().back().path, "<C:\\Users\\bob\\NTUSER.DAT>\\Software\\Autodesk");
  win::DWORD value = 0;
  win::DWORD size = sizeof value;
  EXPECT_EQ(win::RegQueryValueExW(key.get(), u"v", nullptr, nullptr,
                                  reinterpret_cast<win::BYTE*>(&value), &size),
            win::ERROR_SUCCESS);
  EXPECT_EQ(value, 1u);
  EXPECT_EQ(win::RegDeleteKeyW(root.get(), u""), win::ERROR_ACCESS_DENIED);  // a hive's root
  key.Close();
  EXPECT_EQ(root.Close(), win::ERROR_SUCCESS);
  EXPECT_EQ(emu::OpenHandleCount(), 0u);
}

TEST_F(EmulationHiveFilesTest, MissingRefusedOrBadLoadsGiveNoHandle) {
  win::HKEY raw = win::HKEY_USERS;
  EXPECT_EQ(load_(u"C:\\Users\\eve\\NTUSER.DAT", &raw, win::KEY_READ, 0, 0),
            win::ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(raw, nullptr);
  EXPECT_EQ(emu::Calls().back().path, "<C:\\Users\\eve\\NTUSER.DAT>");

  emu::RefuseHiveFile(u"c:\\users\\bob\\ntuser.dat", win::ERROR_SHARING_VIOLATION);
  raw = win::HKEY_USERS;
  EXPECT_EQ(load_(kBob, &raw, win::KEY_READ, 0, 0), win::ERROR_SHARING_VIOLATION);
  EXPECT_EQ(raw, nullptr);
  ScopedKey root;
  emu::RefuseHiveFile(u"C:\\Users\\eve\\NTUSER.DAT", win::ERROR_BADDB);
  EXPECT_EQ(LoadHive(u"C:\\Users\\eve\\NTUSER.DAT", &root), win::ERROR_BADDB);

  emu::Load("<D:\\other.dat>\n");
  EXPECT_EQ(LoadHive(u"D:\\other.dat", &root, win::KEY_READ, 0, 1), win::ERROR_INVALID_PARAMETER);
  EXPECT_EQ(LoadHive(u"D:\\other.dat", &root, win::KEY_READ, 2), win::ERROR_INVALID_PARAMETER);
  EXPECT_EQ(root.get(), nullptr);
  EXPECT_EQ(load_(nullptr, root.Receive(), win::KEY_READ, 0, 0), win::ERROR_INVALID_PARAMETER);
  EXPECT_EQ(load_(u"D:\\other.dat", nullptr, win::KEY_READ, 0, 0), win::ERROR_INVALID_PARAMETER);
  EXPECT_EQ(emu::OpenHandleCount(), 0u);
  EXPECT_EQ(LoadHive(u"D:\\other.dat", &root, win::KEY_READ), win::ERROR_SUCCESS);
}

TEST_F(EmulationHiveFilesTest, WritesStayInTheFileAndEveryLoadSeesOneTree) {
  ScopedKey first;
  ScopedKey second;
  ASSERT_EQ(LoadHive(kBob, &first), win::ERROR_SUCCESS);
  ASSERT_EQ(LoadHive(u"C:\\USERS\\BOB\\NTUSER.DAT", &second, win::KEY_READ), win::ERROR_SUCCESS);
  EXPECT_NE(first.get(), second.get());
  EXPECT_EQ(emu::OpenHandleCount(), 2u);
  ScopedKey made;
  ASSERT_EQ(Create(first.get(), u"Software\\Autodesk\\Made", &made), win::ERROR_SUCCESS);
  ASSERT_EQ(registry_test::SetDword(made.get(), u"w", 2), win::ERROR_SUCCESS);
  made.Close();
  EXPECT_EQ(Probe(second.get(), u"Software\\Autodesk\\Made"), win::ERROR_SUCCESS);
  first.Close();
  second.Close();

  EXPECT_EQ(emu::Dump(),
            "HKCU\n"
            "HKCU\\Software\n"
            "HKLM\n"
            "HKLM\\SOFTWARE\n"
            "<C:\\Users\\bob\\NTUSER.DAT>\n"
            "<C:\\Users\\bob\\NTUSER.DAT>\\Software\n"
            "<C:\\Users\\bob\\NTUSER.DAT>\\Software\\Autodesk\n"
            "  v = dword:0x1\n"
            "<C:\\Users\\bob\\NTUSER.DAT>\\Software\\Autodesk\\Made\n"
            "  w = dword:0x2\n");
  // Loaded again later, the hive holds what was written.
  ASSERT_EQ(LoadHive(kBob, &first, win::KEY_READ), win::ERROR_SUCCESS);
  EXPECT_EQ(Probe(first.get(), u"Software\\Autodesk\\Made"), win::ERROR_SUCCESS);
}

TEST_F(EmulationHiveFilesTest, NothingInAHiveFileIsRedirectedOnWow64) {
  Start(std::string(kBobHive), emu::Machine::Wow64);
  ScopedKey root;
  ASSERT_EQ(LoadHive(kBob, &root, win::KEY_ALL_ACCESS | win::KEY_WOW64_32KEY), win::ERROR_SUCCESS);
  for (win::REGSAM view : {0u, win::KEY_WOW64_32KEY, win::KEY_WOW64_64KEY}) {
    ScopedKey key;
    ASSERT_EQ(Create(root.get(), u"Software\\Autodesk\\Made", &key, win::KEY_ALL_ACCESS | view),
              win::ERROR_SUCCESS);
    EXPECT_EQ(emu::Calls().back().path, "<C:\\Users\\bob\\NTUSER.DAT>\\Software\\Autodesk\\Made");
  }
}

TEST_F(EmulationHiveFilesTest, InjectedFaultsHitTheLoad) {
  win::HKEY raw = win::HKEY_USERS;
  emu::FailNthCallOf("RegLoadAppKeyW", 1, win::ERROR_BADDB);
  EXPECT_EQ(load_(kBob, &raw, win::KEY_READ, 0, 0), win::ERROR_BADDB);
  EXPECT_EQ(raw, nullptr);
  EXPECT_EQ(emu::Calls().back().result, win::ERROR_BADDB);

  ScopedKey root;
  emu::FailNthCall(1, win::ERROR_ACCESS_DENIED);
  EXPECT_EQ(LoadHive(kBob, &root), win::ERROR_ACCESS_DENIED);

  emu::FailPath("<c:\\users\\bob\\ntuser.dat>\\Software", win::ERROR_ACCESS_DENIED);
  ASSERT_EQ(LoadHive(kBob, &root), win::ERROR_SUCCESS);
  EXPECT_EQ(Probe(root.get(), u"Software"), win::ERROR_ACCESS_DENIED);
  EXPECT_EQ(Probe(root.get(), u"Software\\Autodesk"), win::ERROR_SUCCESS);
  root.Close();
  emu::FailPath("<c:\\users\\bob\\ntuser.dat>", win::ERROR_SHARING_VIOLATION);
  EXPECT_EQ(LoadHive(kBob, &root), win::ERROR_SHARING_VIOLATION);
  emu::ClearFaults();

  emu::DieAfterCall(0);
  EXPECT_EQ(LoadHive(kBob, &root), emu::kDeadProcessError);
  EXPECT_EQ(root.get(), nullptr);
  emu::ClearFaults();
  EXPECT_EQ(emu::OpenHandleCount(), 0u);
}

// Beyond what the conformance suite asks of every Windows: hive files by
// any case, also one in use, and the folders above them.
TEST_F(EmulationHiveFilesTest, FileAttributesKnowHiveFilesAndTheFoldersAboveThem) {
  emu::RefuseHiveFile(u"D:\\Profiles\\erin\\NTUSER.DAT", win::ERROR_SHARING_VIOLATION);
  const struct {
    const char16_t* file;
    win::DWORD attributes;
  } cases[] = {
      {u"c:\\users\\BOB\\ntuser.dat", 0x20},  // FILE_ATTRIBUTE_ARCHIVE
      {u"D:\\Profiles\\erin\\NTUSER.DAT", 0x20},
      {u"C:\\users\\", win::FILE_ATTRIBUTE_DIRECTORY},
      {u"C:\\Users\\bob\\ntuser.ini", win::INVALID_FILE_ATTRIBUTES},
  };
  for (const auto& row : cases) {
    EXPECT_EQ(win::GetFileAttributesW(row.file), row.attributes) << "row " << (&row - cases);
  }
  EXPECT_EQ(win::GetLastError(), static_cast<win::DWORD>(win::ERROR_FILE_NOT_FOUND));
}

// In Dump order: the other users' hives by SID, then the hive files by name,
// both ignoring case.
const char kAllRoots[] =
    "HKCU\n"
    "HKCU\\Software\n"
    "HKCU\\Software\\Own\n"
    "  v = dword:0x1\n"
    "HKLM\n"
    "HKLM\\SOFTWARE\n"
    "HKU\\S-1-5-18\n"
    "HKU\\s-1-5-21-1-2-3-1001\n"
    "HKU\\s-1-5-21-1-2-3-1001\\Software\n"
    "  @ = sz:user text\n"
    "HKU\\S-1-5-21-1-2-3-1002\n"
    "<C:\\Users\\alice\\NTUSER.DAT>\n"
    "<C:\\Users\\alice\\NTUSER.DAT>\\Software\n"
    "<c:\\users\\bob\\ntuser.dat>\n"
    "<c:\\users\\bob\\ntuser.dat>\\Software\n"
    "  \"a b\" = hex:01,02\n";

TEST_F(EmulationHiveFilesTest, LoadAndDumpKeepEveryRoot) {
  emu::Reset();
  emu::Load(kAllRoots);
  EXPECT_EQ(emu::Dump(), kAllRoots);
  emu::Reset();
  emu::Load(kAllRoots);
  emu::Load(emu::Dump());
  EXPECT_EQ(emu::Dump(), kAllRoots);
  emu::Reset();
  EXPECT_EQ(emu::Dump(),
            "HKCU\n"
            "HKCU\\Software\n"
            "HKLM\n"
            "HKLM\\SOFTWARE\n");
}

TEST_F(EmulationHiveFilesTest, ResetForgetsFilesFoldersAndRefusals) {
  emu::RefuseHiveFile(u"D:\\new.dat", win::ERROR_BADDB);
  emu::AddFolder(u"C:\\Windows");
  emu::Reset();
  EXPECT_EQ(win::GetFileAttributesW(u"C:\\Windows"), win::INVALID_FILE_ATTRIBUTES);
  emu::Load("<D:\\new.dat>\n");
  ScopedKey root;
  EXPECT_EQ(LoadHive(kBob, &root), win::ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(LoadHive(u"D:\\new.dat", &root), win::ERROR_SUCCESS);
}

TEST_F(EmulationHiveFilesTest, MalformedRootsThrow) {
  EXPECT_THROW(emu::Load("<C:\\x.dat\n"), std::invalid_argument);
  EXPECT_THROW(emu::Load("<>\\Software\n"), std::invalid_argument);
  EXPECT_THROW(emu::Load("<C:\\x.dat>Software\n"), std::invalid_argument);
  EXPECT_THROW(emu::Load("HKU\n"), std::invalid_argument);
  EXPECT_THROW(emu::Load("HKU\\\\Software\n"), std::invalid_argument);
}

}  // namespace
