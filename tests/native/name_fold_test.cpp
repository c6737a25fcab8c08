// Case-insensitive key names: the engine's fold and the emulated registry's
// put the same units together, and the memory of handled keys uses it.
#include "registry/name_fold.h"

#include <gtest/gtest.h>

#include <map>

#include "platform/emulation/key_tree.h"
#include "registry/wide_str.h"
#include "settings/handled_settings_keys.h"

namespace {

TEST(NameFold, GroupsEveryUnitAsTheRegistryDoes) {
  // Same partition of all units: two units fold together in the engine
  // exactly when they do in the registry.
  std::map<char16_t, char16_t> registry_of_engine;
  std::map<char16_t, char16_t> engine_of_registry;
  for (unsigned i = 0; i <= 0xFFFF; ++i) {
    const auto unit = static_cast<char16_t>(i);
    const char16_t engine = FoldNameUnit(unit);
    const char16_t registry = emu::detail::FoldUnit(unit);
    const auto [e, e_new] = registry_of_engine.emplace(engine, registry);
    const auto [r, r_new] = engine_of_registry.emplace(registry, engine);
    ASSERT_EQ(e->second, registry) << "unit " << std::hex << i;
    ASSERT_EQ(r->second, engine) << "unit " << std::hex << i;
    // A fold's result folds to itself.
    ASSERT_EQ(FoldNameUnit(engine), engine) << "unit " << std::hex << i;
  }
}

TEST(NameFold, FoldsLettersBeyondAscii) {
  EXPECT_EQ(FoldNameUnit(u'ä'), FoldNameUnit(u'Ä'));
  EXPECT_EQ(FoldNameUnit(u'ÿ'), FoldNameUnit(u'Ÿ'));
  EXPECT_EQ(FoldNameUnit(u'ž'), FoldNameUnit(u'Ž'));
  EXPECT_EQ(FoldNameUnit(u'ω'), FoldNameUnit(u'Ω'));
  EXPECT_EQ(FoldNameUnit(u'ж'), FoldNameUnit(u'Ж'));
  EXPECT_EQ(FoldNameUnit(u'ё'), FoldNameUnit(u'Ё'));
  EXPECT_NE(FoldNameUnit(u'ß'), FoldNameUnit(u'S'));
  EXPECT_NE(FoldNameUnit(u'×'), FoldNameUnit(u'÷'));
  EXPECT_NE(FoldNameUnit(u'ı'), FoldNameUnit(u'I'));
}

TEST(HandledSettingsKeys, NamesDifferingOnlyInCaseAreOneKey) {
  HandledSettingsKeys handled;
  EXPECT_TRUE(handled.FirstVisit(u"SOFTWARE\\A\\ÄCAD\\InfoCenter", false));
  EXPECT_FALSE(handled.FirstVisit(u"software\\a\\äcad\\infocenter", false));
  EXPECT_TRUE(handled.FirstVisit(u"software\\a\\äcad\\infocenter", true));
  EXPECT_TRUE(handled.FirstVisit(u"SOFTWARE\\A\\ACAD\\InfoCenter", false));

  handled.RememberUserKey(u"Software\\Ωmega\\Жар");
  EXPECT_TRUE(handled.HasUserKey(u"SOFTWARE\\ωMEGA\\жАР"));
  EXPECT_FALSE(handled.HasUserKey(u"Software\\Omega\\Жар"));
}

// Far more keys than the memory first has room for: none is lost as it
// grows.
TEST(HandledSettingsKeys, EveryKeyIsFoundOnceHoweverManyThereAre) {
  HandledSettingsKeys handled;
  for (int i = 0; i < 200; ++i) {
    handled.RememberUserKey((WideStr(u"Software\\Ä") + WideStr(i).get()).get());
  }
  for (int i = 0; i < 200; ++i) {
    EXPECT_TRUE(handled.HasUserKey((WideStr(u"SOFTWARE\\ä") + WideStr(i).get()).get())) << i;
  }
  EXPECT_FALSE(handled.HasUserKey(u"Software\\Ä200"));
}

}  // namespace
