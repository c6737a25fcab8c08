// Registries at and past the limits, through Install and Uninstall: names of
// 255 characters, data that fills or overflows the shared 2080-byte buffers,
// text without a terminator, expansions past the buffer, every value type,
// 10,000 product keys, a deep settings tree to copy, and names that are not
// ASCII. Each comes back exactly, with no key left open.
#include <string>

#include "engine_test_support.h"
#include "entry/entry_points.h"

namespace {

using engine_test::CountCallsTo;
using engine_test::EngineTest;

constexpr win::MSIHANDLE kInstall = 1;

std::string Hex(std::size_t size, unsigned seed) {
  std::string out;
  static const char kDigits[] = "0123456789abcdef";
  for (std::size_t i = 0; i < size; ++i) {
    const unsigned byte = (i * 7 + seed) & 0xFF;
    if (i) out += ',';
    out += kDigits[byte >> 4];
    out += kDigits[byte & 15];
  }
  return out;
}

// Text data of |units| characters '1'..'9', with or without its terminator.
std::string TextHex(std::size_t units, bool terminated) {
  std::string out;
  for (std::size_t i = 0; i < units; ++i) {
    if (i) out += ',';
    out += "3" + std::to_string(1 + i % 9) + ",00";
  }
  if (terminated) out += units ? ",00,00" : "00,00";
  return out;
}

class RegistryLimitsTest : public EngineTest {
 protected:
  struct Trip {
    std::string before;
    std::string installed;
    std::string removed;
  };

  // Install, then Uninstall in the same process, over |registry|.
  Trip RoundTrip(const std::string& registry, const std::u16string& data,
                 emu::Machine machine = emu::Machine::Windows32) {
    StartMachine(machine, emu::User::Administrator);
    emu::Load(registry);
    Trip trip;
    trip.before = emu::Dump();
    emu::SetProperty(u"CustomActionData", data);
    EXPECT_EQ(Install(kInstall), 0u);
    EXPECT_EQ(emu::OpenHandleCount(), 0u);
    trip.installed = emu::Dump();
    EXPECT_EQ(Uninstall(kInstall), 0u);
    EXPECT_EQ(emu::OpenHandleCount(), 0u);
    trip.removed = emu::Dump();
    return trip;
  }

  // The same registry at machine level and, copied to a user who has the
  // product but not its settings key, at user level: back exactly.
  void ExpectBothLevelsComeBack(const std::string& machine_keys, const std::string& product) {
    const std::string user =
        "HKCU\\Software\\Autodesk\\AutoCAD\\R18.0\\" + product + "\n  Profile = sz:Default\n";
    const Trip machine = RoundTrip(machine_keys + user, u">1");
    EXPECT_NE(machine.installed, machine.before);
    EXPECT_EQ(machine.removed, machine.before);
    const Trip per_user = RoundTrip(machine_keys + user, u">0");
    EXPECT_NE(per_user.installed, per_user.before);
    EXPECT_EQ(per_user.removed, per_user.before);
  }
};

const std::string kInfoCenter = "HKLM\\SOFTWARE\\Autodesk\\AutoCAD\\R18.0\\P\\InfoCenter\n";

TEST_F(RegistryLimitsTest, NamesOf255Characters) {
  const std::string product(255, 'p');
  const std::string child(255, 'c');
  const std::string settings =
      "HKLM\\SOFTWARE\\Autodesk\\AutoCAD\\R18.0\\" + product + "\\InfoCenter";
  ExpectBothLevelsComeBack(settings + "\n  InfoCenterOn = dword:1\n  \"" + std::string(255, 'v') +
                               "\" = sz:x\n" + settings + "\\" + child + "\\" + child +
                               "\n  Deep = dword:7\n",
                           product);
}

TEST_F(RegistryLimitsTest, DataThatFillsOrOverflowsTheSharedBuffers) {
  for (std::size_t size : {2078u, 2080u, 2082u, 4096u}) {
    SCOPED_TRACE(size);
    ExpectBothLevelsComeBack(
        kInfoCenter + "  InfoCenterOn = hex(1):" + TextHex(size / 2 - 1, true) +
            "\n  Binary = hex:" + Hex(size, 3) + "\n  Odd = hex(3):" + Hex(size + 1, 5) + "\n",
        "P");
  }
}

TEST_F(RegistryLimitsTest, TextWithoutTerminator) {
  for (std::size_t units : {0u, 1u, 2u, 1039u, 1040u, 1041u}) {
    SCOPED_TRACE(units);
    ExpectBothLevelsComeBack(kInfoCenter + "  InfoCenterOn = hex(1):" + TextHex(units, false) +
                                 "\n  Odd = hex(1):" + TextHex(units, false) +
                                 (units ? ",31" : "31") + "\n",
                             "P");
  }
}

TEST_F(RegistryLimitsTest, ExpansionPastTheBuffer) {
  // Three units that expand to 2,000 each.
  const std::string registry =
      kInfoCenter + "  InfoCenterOn = expand_sz:%V%%V%%V%\n  Path = expand_sz:%V%\n";
  for (const std::u16string data : {u">1", u">0"}) {
    StartMachine(emu::Machine::Windows32, emu::User::Administrator);
    emu::Load(registry + "HKCU\\Software\\Autodesk\\AutoCAD\\R18.0\\P\n  Profile = sz:Default\n");
    emu::SetEnvironment(u"V", std::u16string(2000, u'v'));
    const std::string before = emu::Dump();
    emu::SetProperty(u"CustomActionData", data);
    EXPECT_EQ(Install(kInstall), 0u);
    EXPECT_NE(emu::Dump(), before);
    EXPECT_EQ(Uninstall(kInstall), 0u);
    EXPECT_EQ(emu::OpenHandleCount(), 0u);
    EXPECT_EQ(emu::Dump(), before);
  }
}

TEST_F(RegistryLimitsTest, SettingsOfEveryType) {
  // REG_NONE to REG_QWORD, and numbers no type has.
  for (unsigned type : {0u, 1u, 2u, 3u, 4u, 5u, 6u, 7u, 8u, 9u, 10u, 11u, 0xFFFFu, 0xFFFFFFFFu}) {
    for (std::size_t size : {0u, 1u, 4u, 8u, 9u}) {
      SCOPED_TRACE(std::to_string(type) + " of " + std::to_string(size) + " bytes");
      ExpectBothLevelsComeBack(kInfoCenter + "  InfoCenterOn = hex(" + std::to_string(type) +
                                   "):" + Hex(size, type) + "\n",
                               "P");
    }
  }
  // A multi-string with its double terminator, and an eight-byte number.
  ExpectBothLevelsComeBack(kInfoCenter + "  InfoCenterOn = hex(7):61,00,00,00,62,00,00,00,00,00\n" +
                               "  Size = hex(11):01,02,03,04,05,06,07,08\n",
                           "P");
}

TEST_F(RegistryLimitsTest, TenThousandProductKeysBelowOneReleaseKey) {
  std::string machine;
  std::string user;
  std::string kept_user;
  for (int i = 0; i < 10000; ++i) {
    const std::string product = "ACAD-" + std::to_string(i) + ":409";
    machine += "HKLM\\SOFTWARE\\Autodesk\\AutoCAD\\R18.0\\" + product +
               "\\InfoCenter\n  InfoCenterOn = dword:" + std::to_string(i % 3) + "\n";
    // Half of the users' product keys hold nothing else: removing the copy
    // takes them along, and the sweep must not skip the key that moves up.
    const std::string user_key = "HKCU\\Software\\Autodesk\\AutoCAD\\R18.0\\" + product + "\n";
    user += user_key;
    if (i % 2) {
      user += "  Profile = sz:Default\n";
      kept_user += user_key + "  Profile = sz:Default\n";
    }
  }
  // Each product key once in Install and once in Uninstall.
  const Trip machine_level = RoundTrip(machine, u">1");
  EXPECT_EQ(machine_level.removed, machine_level.before);
  EXPECT_EQ(CountCallsTo("RegOpenKeyExW",
                         "HKLM\\SOFTWARE\\Autodesk\\AutoCAD\\R18.0\\ACAD-9999:409\\InfoCenter",
                         win::KEY_READ | win::KEY_WRITE),
            2u);

  const Trip per_user = RoundTrip(machine + user, u">0");
  // Every product got its copy, and every copy went again.
  std::size_t copies = 0;
  for (std::size_t at = 0;
       (at = per_user.installed.find("SKRW_RemoveOnUninstall", at)) != std::string::npos; ++at) {
    ++copies;
  }
  EXPECT_EQ(copies, 10000u);
  // Back as before, but for the users' product keys that held nothing.
  ExpectRegistry(machine + kept_user);
}

TEST_F(RegistryLimitsTest, DeepSettingsTreeToCopy) {
  // 30 levels below the settings key and 1,000 values among them.
  std::string registry = kInfoCenter + "  InfoCenterOn = dword:1\n";
  std::string path = kInfoCenter.substr(0, kInfoCenter.size() - 1);
  int values = 1;
  for (int level = 1; level <= 30; ++level) {
    path += "\\Level" + std::to_string(level);
    registry += path + "\n";
    for (int i = 0; i < (level == 30 ? 1000 - values : 33); ++i) {
      registry += "  V" + std::to_string(i) + " = hex(" + std::to_string(i % 12) +
                  "):" + Hex(i % 17, level) + "\n";
    }
    values += level == 30 ? 1000 - values : 33;
  }
  ASSERT_EQ(values, 1000);
  ExpectBothLevelsComeBack(registry, "P");

  // The copy holds the whole tree.
  StartMachine(emu::Machine::Windows32, emu::User::Administrator);
  emu::Load(registry + "HKCU\\Software\\Autodesk\\AutoCAD\\R18.0\\P\n  Profile = sz:Default\n");
  emu::SetProperty(u"CustomActionData", u">0");
  EXPECT_EQ(Install(kInstall), 0u);
  const std::string installed = emu::Dump();
  const std::string deepest = path.substr(path.find("\\Level1")) + "\n  V0 = ";
  EXPECT_NE(installed.find("HKCU\\Software\\Autodesk\\AutoCAD\\R18.0\\P\\InfoCenter" + deepest),
            std::string::npos);
}

// The 32-bit view names a product "ÄCAD", the 64-bit view "äCAD": the user
// has one key for both, handled once.
TEST_F(RegistryLimitsTest, ProductNamesDifferingOnlyInCaseBetweenTheViews) {
  const std::string registry = R"(
HKLM\SOFTWARE\Wow6432Node\Autodesk\AutoCAD\R18.0\ÄCAD\InfoCenter
  InfoCenterOn = dword:1
HKLM\SOFTWARE\Autodesk\AutoCAD\R18.0\äCAD\InfoCenter
  InfoCenterOn = dword:2
HKCU\Software\Autodesk\AutoCAD\R18.0\ÄCAD\InfoCenter
  InfoCenterOn = dword:5
HKCU\Software\Autodesk\AutoCAD LT\R19\ЖАР-Ωmega\InfoCenter
  InfoCenterOn = dword:3
HKLM\SOFTWARE\Autodesk\AutoCAD LT\R19\жар-ωMEGA\InfoCenter
  InfoCenterOn = sz:on
)";
  const Trip trip = RoundTrip(registry, u">1", emu::Machine::Wow64);
  EXPECT_EQ(trip.removed, trip.before);
  // Uninstall's 64-bit pass left the user's key alone: the first pass had it.
  EXPECT_EQ(
      CountCallsTo("RegOpenKeyExW", "HKCU\\Software\\Autodesk\\AutoCAD\\R18.0\\ÄCAD\\InfoCenter",
                   win::KEY_READ | win::KEY_WRITE | win::KEY_WOW64_64KEY),
      0u);

  const Trip per_user = RoundTrip(registry, u">0", emu::Machine::Wow64);
  EXPECT_EQ(per_user.removed, per_user.before);
}

// The machine's settings key holds a value named like the marker, of
// another type or number (left by hand edits or an older tool): the copy
// must still end up marked, so that Uninstall removes it.
TEST_F(RegistryLimitsTest, MachineKeyHoldingAMarkerValueStillGivesAMarkedCopy) {
  for (const char* marker : {"expand_sz:", "dword:0x0", "hex(4):01,00,00,00,00"}) {
    SCOPED_TRACE(marker);
    const Trip trip = RoundTrip(
        kInfoCenter + "  InfoCenterOn = dword:1\n  SKRW_RemoveOnUninstall = " + marker +
            "\nHKCU\\Software\\Autodesk\\AutoCAD\\R18.0\\P\n" + "  Profile = sz:Default\n",
        u">0");
    EXPECT_NE(trip.installed.find("R18.0\\P\\InfoCenter\n  InfoCenterOn = dword:0x0\n"
                                  "  SKRW_RemoveOnUninstall = dword:0x1\n"),
              std::string::npos);
    EXPECT_EQ(trip.removed, trip.before);
  }
}

}  // namespace
