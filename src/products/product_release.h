// A product release and the registry path of its release key.
#pragma once

#include <cstdint>

#include "registry/wide_str.h"

enum ProductFamily : std::int8_t {
  AutoCad = 1,
  AutoCadLt = 2,
  BricsCad = 3,
  Max3ds = 4,
};

// One release of one product family. Family 0 belongs to no product: such a
// record has no release path and stands for the root key's own sub-keys.
struct ProductRelease {
  std::int8_t family;
  std::int8_t major;
  std::int8_t minor;
};

// (family << 16) | (major << 8) | minor, e.g. 0x011101 for AutoCAD R17.1.
constexpr std::int32_t ReleaseCode(const ProductRelease& release) {
  return (static_cast<std::int32_t>(release.family) * 65536) +
         (static_cast<std::int32_t>(release.major) * 256) + release.minor;
}

// The path of the release key below a root key, without a leading backslash,
// e.g. SOFTWARE\Autodesk\AutoCAD\R18.0. The null string for a family outside
// 1 to 4. Touches no registry.
WideStr BuildReleaseKeyPath(const ProductRelease& release);
