// "CustomActionData" of every length up to 300 units, with the first '>'
// at every position and every kind of unit after it: the flag follows the
// rule, the buffer is never overrun (AddressSanitizer watches it), and the
// exports answer 0, 13 or 1603.
#include "entry/custom_action_data.h"

#include <string>
#include <vector>

#include "engine_test_support.h"
#include "entry/entry_points.h"

namespace {

using engine_test::CountRegistryCalls;
using engine_test::EngineTest;

constexpr win::MSIHANDLE kInstall = 1;
constexpr std::size_t kLongest = 300;
// Where the value was cut before it was read whole.
constexpr std::size_t kOnceKept = 62;

// What the rule says about |data|: the text ends at the first NUL, and the
// unit right after its first '>' must be '1'.
bool ExpectedFlag(const std::u16string& data) {
  for (std::size_t i = 0; i < data.size() && data[i] != u'\0'; ++i) {
    if (data[i] == u'>') return i + 1 < data.size() && data[i + 1] == u'1';
  }
  return false;
}

// The unit after the '>'; "nothing" is a '>' in the last position.
constexpr char16_t kFollowers[] = {u'1', u'0', u'>', u'\0', char16_t(0xD800), char16_t(0xDC00)};

// Calls |visit| with every shape of |length| units: no '>' at all, and for
// each position a '>' followed by each follower or by nothing. The rest is
// '1', which counts nowhere else.
template <typename Visit>
void ForEachShape(std::size_t length, Visit visit) {
  std::u16string data(length, u'1');
  visit(data);
  for (std::size_t at = 0; at < length; ++at) {
    data[at] = u'>';
    if (at + 1 == length) {
      visit(data);
    } else {
      for (char16_t follower : kFollowers) {
        data[at + 1] = follower;
        visit(data);
      }
      data[at + 1] = u'1';
    }
    data[at] = u'1';
  }
}

class CustomActionDataTest : public EngineTest {};

TEST_F(CustomActionDataTest, FlagFollowsTheRuleForEveryLengthAndPosition) {
  std::size_t tried = 0;
  for (std::size_t length = 0; length <= kLongest; ++length) {
    ForEachShape(length, [&](const std::u16string& data) {
      emu::SetProperty(u"CustomActionData", data);
      // Fresh memory that would read as a flag if the text ran on into it.
      emu::FillAllocations(u">1>1");
      const CustomActionData read = ReadCustomActionData(kInstall);
      emu::FillAllocations(u"");
      emu::ClearCalls();
      ++tried;
      ASSERT_EQ(read.read == Lookup::kFound, length > 0) << "length " << length;
      ASSERT_EQ(read.machine_wide, ExpectedFlag(data))
          << "length " << length << ", '>' at " << data.find(u'>');
    });
  }
  EXPECT_GT(tried, 250000u);
}

TEST_F(CustomActionDataTest, PropertyNotSetIsAbsent) {
  const CustomActionData read = ReadCustomActionData(kInstall);
  EXPECT_EQ(read.read, Lookup::kAbsent);
  EXPECT_FALSE(read.machine_wide);
}

// A product whose setting the machine level switches.
constexpr char kMachineProduct[] = R"(
HKLM\SOFTWARE\Autodesk\AutoCAD\R18.0\P\InfoCenter
  InfoCenterOn = dword:1
)";

// Through the exports: 13 for nothing, else 0, and the machine's setting
// switched exactly when the flag is set. Each length with '>1' in front, and
// where the value used to be cut.
TEST_F(CustomActionDataTest, ExportsAnswerByTheRule) {
  for (std::size_t length = 0; length <= kLongest; ++length) {
    for (std::size_t at : {std::size_t{0}, kOnceKept - 2, kOnceKept - 1}) {
      std::u16string data(length, u'x');
      if (at + 1 < length) data.replace(at, 2, u">1");
      StartMachine(emu::Machine::Windows32, emu::User::Administrator);
      emu::Load(kMachineProduct);
      const std::string before = emu::Dump();
      emu::SetProperty(u"CustomActionData", data);
      const win::UINT installed = Install(kInstall);
      const bool switched = emu::Dump() != before;
      const win::UINT uninstalled = Uninstall(kInstall);
      const std::string where =
          "length " + std::to_string(length) + ", '>1' at " + std::to_string(at);
      ASSERT_EQ(emu::OpenHandleCount(), 0u) << where;
      if (length == 0) {
        ASSERT_EQ(installed, win::ERROR_INVALID_DATA) << where;
        ASSERT_EQ(uninstalled, win::ERROR_INVALID_DATA) << where;
        ASSERT_EQ(CountRegistryCalls(), 0u) << where;
        continue;
      }
      ASSERT_EQ(installed, 0u) << where;
      ASSERT_EQ(uninstalled, 0u) << where;
      ASSERT_EQ(switched, ExpectedFlag(data)) << where;
      ASSERT_EQ(emu::Dump(), before) << where;
    }
  }
}

TEST_F(CustomActionDataTest, ExportsRefuseAnUnsetProperty) {
  emu::Load(kMachineProduct);
  EXPECT_EQ(Install(kInstall), win::ERROR_INVALID_DATA);
  EXPECT_EQ(Uninstall(kInstall), win::ERROR_INVALID_DATA);
  EXPECT_EQ(CountRegistryCalls(), 0u);
}

// No memory for the buffer itself: 1603, with only the length asked for.
TEST_F(CustomActionDataTest, NoMemoryForTheBufferIsAFailure) {
  emu::Load(kMachineProduct);
  emu::SetProperty(u"CustomActionData", u">1");
  emu::FailAllocationsFrom(1);
  EXPECT_EQ(Install(kInstall), win::ERROR_INSTALL_FAILURE);
  EXPECT_EQ(Uninstall(kInstall), win::ERROR_INSTALL_FAILURE);
  emu::FailAllocationsFrom(0);
  EXPECT_EQ(emu::CountCalls("MsiGetPropertyW"), 2u);  // once per export
  EXPECT_EQ(CountRegistryCalls(), 0u);
}

}  // namespace

namespace {

// The all-users request: names after ';' following the flag's character,
// earlier versions reading only the flag.
TEST(AllUsersRequestTest, OnlyTheNameAfterASemicolonFollowingTheFlagCounts) {
  struct Case {
    const char16_t* data;
    bool all_users;
  };
  const Case cases[] = {
      {u"{GUID}>1;AllUsers", true},
      {u">1;allusers", true},
      {u">0;ALLUSERS", true},  // asked for; the machine level decides later
      {u">1;Later;AllUsers;More", true},
      {u">1;;AllUsers", true},
      {u">1", false},
      {u">1;", false},
      {u">1AllUsers", false},
      {u">1 ;AllUsers", false},
      {u">1;AllUsersX", false},
      {u">1;AllUser", false},
      {u">1; AllUsers", false},
      {u";AllUsers>1", false},
      {u">;AllUsers", false},
      {u"AllUsers", false},
      {u"", false},
  };
  for (const Case& test : cases) {
    EXPECT_EQ(HasAllUsersRequest(test.data), test.all_users)
        << std::string(test.data, test.data + std::char_traits<char16_t>::length(test.data));
    // The flag is read as before, whatever follows.
    const std::u16string text(test.data);
    const std::size_t at = text.find(u'>');
    EXPECT_EQ(HasMachineWideFlag(test.data),
              at != std::u16string::npos && at + 1 < text.size() && text[at + 1] == u'1');
  }
}

}  // namespace
