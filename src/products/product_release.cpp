#include "products/product_release.h"

namespace {

void AppendNumber(WideStr& path, std::int8_t number) {
  path.Append(WideStr(static_cast<std::int32_t>(number)).get());
}

void AppendMajorDotMinor(WideStr& path, const ProductRelease& release) {
  AppendNumber(path, release.major);
  path.Append(u'.');
  AppendNumber(path, release.minor);
}

}  // namespace

WideStr BuildReleaseKeyPath(const ProductRelease& release) {
  WideStr path;
  switch (release.family) {
    case AutoCad:
      path.Append(u"SOFTWARE\\Autodesk\\AutoCAD\\R");
      AppendMajorDotMinor(path, release);
      break;
    case AutoCadLt:
      // The minor number is not part of an AutoCAD LT path; three early
      // releases have names of their own.
      path.Append(u"SOFTWARE\\Autodesk\\AutoCAD LT\\R");
      if (release.major == 4) {
        path.Append(u"4.0");
      } else if (release.major == 5) {
        path.Append(u"5.0");
      } else if (release.major == 6) {
        path.Append(u"2000");
      } else {
        AppendNumber(path, release.major);
      }
      break;
    case BricsCad:
      path.Append(u"SOFTWARE\\Bricsys\\Bricscad\\");
      if (release.major == 9) {
        path.Append(u"V9");
      } else if (release.major == 10) {
        path.Append(u"V10");
      }
      break;
    case Max3ds:
      path.Append(u"SOFTWARE\\Autodesk\\3dsMax\\");
      AppendMajorDotMinor(path, release);
      break;
    default:
      break;
  }
  return path;
}
