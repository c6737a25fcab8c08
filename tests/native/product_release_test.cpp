// Release key paths, release codes and the release lists of both passes.
#include "products/product_release.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "entry/release_lists.h"
#include "products/setting_locations.h"

namespace {

std::u16string PathOf(std::int8_t family, std::int8_t major, std::int8_t minor) {
  const WideStr path = BuildReleaseKeyPath(ProductRelease{family, major, minor});
  return path.IsNull() ? u"<null>" : std::u16string(path.get());
}

TEST(BuildReleaseKeyPath, AutoCadWritesMajorDotMinor) {
  EXPECT_EQ(PathOf(1, 16, 2), u"SOFTWARE\\Autodesk\\AutoCAD\\R16.2");
  EXPECT_EQ(PathOf(1, 19, 1), u"SOFTWARE\\Autodesk\\AutoCAD\\R19.1");
  EXPECT_EQ(PathOf(1, 0, 0), u"SOFTWARE\\Autodesk\\AutoCAD\\R0.0");
}

TEST(BuildReleaseKeyPath, AutoCadLtIgnoresMinorAndNamesEarlyReleases) {
  EXPECT_EQ(PathOf(2, 13, 0), u"SOFTWARE\\Autodesk\\AutoCAD LT\\R13");
  EXPECT_EQ(PathOf(2, 13, 5), u"SOFTWARE\\Autodesk\\AutoCAD LT\\R13");
  EXPECT_EQ(PathOf(2, 9, 0), u"SOFTWARE\\Autodesk\\AutoCAD LT\\R9");
  EXPECT_EQ(PathOf(2, 4, 0), u"SOFTWARE\\Autodesk\\AutoCAD LT\\R4.0");
  EXPECT_EQ(PathOf(2, 5, 7), u"SOFTWARE\\Autodesk\\AutoCAD LT\\R5.0");
  EXPECT_EQ(PathOf(2, 6, 0), u"SOFTWARE\\Autodesk\\AutoCAD LT\\R2000");
}

TEST(BuildReleaseKeyPath, BricscadAnd3dsMax) {
  EXPECT_EQ(PathOf(3, 9, 0), u"SOFTWARE\\Bricsys\\Bricscad\\V9");
  EXPECT_EQ(PathOf(3, 10, 3), u"SOFTWARE\\Bricsys\\Bricscad\\V10");
  EXPECT_EQ(PathOf(3, 11, 0), u"SOFTWARE\\Bricsys\\Bricscad\\");
  EXPECT_EQ(PathOf(4, 12, 1), u"SOFTWARE\\Autodesk\\3dsMax\\12.1");
  EXPECT_EQ(PathOf(4, 9, 0), u"SOFTWARE\\Autodesk\\3dsMax\\9.0");
}

TEST(BuildReleaseKeyPath, OtherFamiliesHaveNoPath) {
  EXPECT_EQ(PathOf(0, 0, 12), u"<null>");
  EXPECT_EQ(PathOf(5, 1, 1), u"<null>");
  EXPECT_EQ(PathOf(-1, 18, 0), u"<null>");
}

TEST(ReleaseCode, PutsTheThreeFieldsSideBySide) {
  EXPECT_EQ(ReleaseCode({1, 17, 1}), 0x011101);
  EXPECT_EQ(ReleaseCode({1, 19, 1}), 0x011301);
  EXPECT_EQ(ReleaseCode({2, 13, 0}), 0x020D00);
  EXPECT_EQ(ReleaseCode({0, 0, 14}), 0x00000E);
}

TEST(ReleaseLists, EveryListedReleaseHasSettingsKeys) {
  EXPECT_EQ(std::size(FirstPassReleases), 22u);
  EXPECT_EQ(std::size(SecondPassReleases), 13u);
  EXPECT_EQ(std::size(CadManagerControlReleases), 3u);
  for (const ProductRelease& release : FirstPassReleases) {
    EXPECT_NE(FindSettingLocation(ReleaseCode(release)), nullptr) << ReleaseCode(release);
  }
  for (const ProductRelease& release : CadManagerControlReleases) {
    EXPECT_NE(FindSettingLocation(ReleaseCode(release)), nullptr) << ReleaseCode(release);
  }
}

TEST(SettingLocations, ReleasesOutsideTheTableHaveNone) {
  for (const ProductRelease& release : std::vector<ProductRelease>{{1, 15, 0},
                                                                   {1, 16, 3},
                                                                   {1, 19, 2},
                                                                   {2, 15, 1},
                                                                   {2, 8, 0},
                                                                   {2, 20, 0},
                                                                   {3, 9, 0},
                                                                   {4, 12, 1},
                                                                   {0, 0, 11},
                                                                   {0, 0, 15}}) {
    EXPECT_EQ(FindSettingLocation(ReleaseCode(release)), nullptr) << ReleaseCode(release);
  }
}

}  // namespace
