// The process's token and the text of its user's SID: what the engine reads
// to find its own hive below HKEY_USERS, and what it must give back.
#include <cstring>

#include "native/emulation_fixture.h"

namespace {

class EmulationTokenTest : public EmulationTest {
 protected:
  void SetUp() override { emu::Reset(); }
  void TearDown() override {
    EmulationTest::TearDown();
    EXPECT_EQ(emu::OpenProcessObjects(), 0u);
  }

  static win::HANDLE OpenToken(win::DWORD access = win::TOKEN_QUERY) {
    win::HANDLE token = nullptr;
    EXPECT_NE(win::OpenProcessToken(win::GetCurrentProcess(), access, &token), 0);
    return token;
  }

  // The SID text of |token|'s user, freed again; "" where a step fails.
  // The token's user SID as a text the caller must free; null on failure.
  static char16_t* NewSidText(win::HANDLE token) {
    alignas(8) win::BYTE buffer[128];
    win::DWORD needed = 0;
    if (!win::GetTokenInformation(token, win::TokenUser, buffer, sizeof buffer, &needed)) {
      return nullptr;
    }
    win::TOKEN_USER user;
    std::memcpy(&user, buffer, sizeof user);
    char16_t* text = nullptr;
    if (!win::ConvertSidToStringSidW(user.User.Sid, &text)) return nullptr;
    return text;
  }

  static std::u16string UserSidText(win::HANDLE token) {
    char16_t* text = NewSidText(token);
    if (text == nullptr) return u"";
    const std::u16string copy(text);
    EXPECT_EQ(win::LocalFree(text), nullptr);
    return copy;
  }
};

TEST_F(EmulationTokenTest, TokenUserHoldsTheSidAfterTheStructureAsWindowsLaysItOut) {
  const win::HANDLE token = OpenToken();
  ASSERT_NE(token, nullptr);
  win::DWORD needed = 0;
  EXPECT_EQ(win::GetTokenInformation(token, win::TokenUser, nullptr, 0, &needed), 0);
  // S-1-5-21-0-0-0-1000: five sub-authorities.
  const win::DWORD expected = static_cast<win::DWORD>(sizeof(win::TOKEN_USER) + 8 + 5 * 4);
  EXPECT_EQ(needed, expected);
  alignas(8) win::BYTE buffer[128];
  std::memset(buffer, 0xcc, sizeof buffer);
  needed = 0;
  EXPECT_EQ(win::GetTokenInformation(token, win::TokenUser, buffer, expected - 1, &needed), 0);
  EXPECT_EQ(needed, expected);
  ASSERT_NE(win::GetTokenInformation(token, win::TokenUser, buffer, expected, &needed), 0);
  EXPECT_EQ(buffer[expected], 0xcc);  // nothing past what it asked for

  win::TOKEN_USER user;
  std::memcpy(&user, buffer, sizeof user);
  const win::BYTE* sid = static_cast<const win::BYTE*>(user.User.Sid);
  ASSERT_EQ(sid, buffer + sizeof(win::TOKEN_USER));
  const win::BYTE binary[] = {1,  5, 0, 0, 0, 0, 0, 5,  // revision, count, authority 5
                              21, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xe8, 3, 0, 0};
  EXPECT_EQ(std::memcmp(sid, binary, sizeof binary), 0);

  char16_t* text = nullptr;
  ASSERT_NE(win::ConvertSidToStringSidW(user.User.Sid, &text), 0);
  EXPECT_EQ(std::u16string(text), u"S-1-5-21-0-0-0-1000");
  EXPECT_EQ(emu::OpenProcessObjects(), 2u);  // the token and the text
  EXPECT_EQ(win::LocalFree(text), nullptr);
  EXPECT_NE(win::CloseHandle(token), 0);
}

TEST_F(EmulationTokenTest, TheTokenFollowsTheProcessUser) {
  emu::SetProcessUser(u"S-1-5-21-3623811015-3361044348-30300820-1013");
  win::HANDLE token = OpenToken();
  EXPECT_EQ(UserSidText(token), u"S-1-5-21-3623811015-3361044348-30300820-1013");
  EXPECT_NE(win::CloseHandle(token), 0);
  emu::SetProcessUser(u"s-1-5-18");  // kept as Windows writes it
  token = OpenToken();
  EXPECT_EQ(UserSidText(token), u"S-1-5-18");
  EXPECT_NE(win::CloseHandle(token), 0);
  EXPECT_EQ(registry_test::SubKeys(win::HKEY_USERS), std::vector<std::u16string>{u"S-1-5-18"});
}

TEST_F(EmulationTokenTest, HandlesAndTextsAreCountedUntilGivenBack) {
  const win::HANDLE token = OpenToken();
  const win::HANDLE second = OpenToken();
  EXPECT_NE(token, second);
  EXPECT_EQ(win::RegCloseKey(static_cast<win::HKEY>(token)), win::ERROR_INVALID_HANDLE);
  char16_t* text = NewSidText(token);
  ASSERT_NE(text, nullptr);
  EXPECT_EQ(emu::OpenProcessObjects(), 3u);

  EXPECT_NE(win::CloseHandle(second), 0);
  EXPECT_EQ(win::CloseHandle(second), 0);
  EXPECT_EQ(NewSidText(second), nullptr);
  EXPECT_EQ(win::LocalFree(text), nullptr);
  EXPECT_EQ(win::LocalFree(text), text);  // not ours any more: handed back as failure
  EXPECT_EQ(win::LocalFree(nullptr), nullptr);
  EXPECT_EQ(emu::OpenProcessObjects(), 1u);
  EXPECT_NE(win::CloseHandle(win::GetCurrentProcess()), 0);  // a pseudo handle
  EXPECT_EQ(win::CloseHandle(nullptr), 0);
  emu::Reset();  // forgets what was left
  EXPECT_EQ(emu::OpenProcessObjects(), 0u);
  EXPECT_EQ(NewSidText(token), nullptr);
}

TEST_F(EmulationTokenTest, WhatTheTokenRefuses) {
  win::HANDLE token = nullptr;
  const win::HANDLE other_process = reinterpret_cast<win::HANDLE>(0x44);
  EXPECT_EQ(win::OpenProcessToken(other_process, win::TOKEN_QUERY, &token), 0);
  EXPECT_EQ(emu::OpenProcessObjects(), 0u);
  const win::HANDLE query = OpenToken();
  alignas(8) win::BYTE buffer[128];
  win::DWORD needed = 0;
  const int kTokenGroups = 2;
  EXPECT_EQ(win::GetTokenInformation(query, kTokenGroups, buffer, sizeof buffer, &needed), 0);
  EXPECT_EQ(win::GetTokenInformation(query, win::TokenUser, buffer, sizeof buffer, nullptr), 0);
  const win::HANDLE no_query = OpenToken(0);
  EXPECT_EQ(win::GetTokenInformation(no_query, win::TokenUser, buffer, sizeof buffer, &needed), 0);
  const win::BYTE not_a_sid[] = {2, 1, 0, 0, 0, 0, 0, 5, 0, 0, 0, 0};
  char16_t* text = nullptr;
  EXPECT_EQ(win::ConvertSidToStringSidW(const_cast<win::BYTE*>(not_a_sid), &text), 0);
  EXPECT_EQ(win::ConvertSidToStringSidW(nullptr, &text), 0);
  EXPECT_NE(win::CloseHandle(query), 0);
  EXPECT_NE(win::CloseHandle(no_query), 0);
}

TEST_F(EmulationTokenTest, InjectedFaultsFailTheCallsAndAreLogged) {
  win::HANDLE token = nullptr;
  emu::FailNthCallOf("OpenProcessToken", 1, win::ERROR_ACCESS_DENIED);
  EXPECT_EQ(win::OpenProcessToken(win::GetCurrentProcess(), win::TOKEN_QUERY, &token), 0);
  EXPECT_EQ(emu::OpenProcessObjects(), 0u);
  const emu::Call& failed = emu::Calls().back();
  EXPECT_EQ(failed.function, "OpenProcessToken");
  EXPECT_EQ(failed.access, win::TOKEN_QUERY);
  EXPECT_EQ(failed.result, 0);

  token = OpenToken();
  emu::FailNthCallOf("GetTokenInformation", 1, win::ERROR_NOT_ENOUGH_MEMORY);
  EXPECT_EQ(UserSidText(token), u"");
  emu::FailNthCallOf("ConvertSidToStringSidW", 1, win::ERROR_NOT_ENOUGH_MEMORY);
  EXPECT_EQ(UserSidText(token), u"");
  EXPECT_EQ(emu::OpenProcessObjects(), 1u);

  // A dead process's own functions go on; only the registry is gone.
  emu::DieAfterCall(0);
  EXPECT_EQ(UserSidText(token), u"S-1-5-21-0-0-0-1000");
  emu::ClearFaults();

  // Failed closes and frees report the failure but give the object back.
  char16_t* text = NewSidText(token);
  ASSERT_NE(text, nullptr);
  emu::FailNthCallOf("LocalFree", 1, win::ERROR_INVALID_HANDLE);
  EXPECT_EQ(win::LocalFree(text), text);
  emu::FailNthCallOf("CloseHandle", 1, win::ERROR_INVALID_HANDLE);
  EXPECT_EQ(win::CloseHandle(token), 0);
  EXPECT_EQ(emu::OpenProcessObjects(), 0u);
  EXPECT_EQ(emu::CountCalls("GetTokenInformation"), 4u);
}

}  // namespace
