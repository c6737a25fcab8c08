// Where each release keeps the settings that are switched, by release code.
#pragma once

#include <cstdint>

#include "products/product_release.h"
#include "settings/setting_switch.h"

// The settings keys of one release, as suffixes of the product key path, and
// the setting switched in them. Unused suffixes are null.
struct SettingLocation {
  const char16_t* suffixes[2];
  const Setting* setting;
};

// The location of the release with |release_code|; null when there is none.
const SettingLocation* FindSettingLocation(std::int32_t release_code);
