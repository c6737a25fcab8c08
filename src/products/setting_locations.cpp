#include "products/setting_locations.h"

#include "settings/setting_switch.h"

namespace {

constexpr char16_t kWsCommCenter[] = u"\\Applications\\WSCommCntrAcCon";
constexpr char16_t kInfoCenterAcConn[] = u"\\Applications\\InfoCenterAcConn";
constexpr char16_t kInfoCenter[] = u"\\InfoCenter";
constexpr char16_t kCommunicationCenter[] = u"\\CadManagerControl\\CommunicationCenter";

constexpr SettingLocation kCommunicationCenterOnly = {{kCommunicationCenter, nullptr},
                                                      &kEnableCommunicationCenter};
constexpr SettingLocation kWsCommCenterOnly = {{kWsCommCenter, nullptr}, &kLoadCtrls};
constexpr SettingLocation kBothConnectors = {{kWsCommCenter, kInfoCenterAcConn}, &kLoadCtrls};
constexpr SettingLocation kInfoCenterOnly = {{kInfoCenter, nullptr}, &kInfoCenterOn};

struct CodeLocation {
  std::int32_t release_code;
  const SettingLocation* location;
};

constexpr CodeLocation kLocations[] = {
    {0x00000C, &kCommunicationCenterOnly},
    {0x00000D, &kCommunicationCenterOnly},
    {0x00000E, &kCommunicationCenterOnly},
    // AutoCAD R16.0 to R19.1
    {0x011000, &kWsCommCenterOnly},
    {0x011001, &kWsCommCenterOnly},
    {0x011002, &kWsCommCenterOnly},
    {0x011100, &kWsCommCenterOnly},
    {0x011101, &kBothConnectors},
    {0x011102, &kBothConnectors},
    {0x011200, &kInfoCenterOnly},
    {0x011201, &kInfoCenterOnly},
    {0x011202, &kInfoCenterOnly},
    {0x011300, &kInfoCenterOnly},
    {0x011301, &kInfoCenterOnly},
    // AutoCAD LT R9 to R19
    {0x020900, &kWsCommCenterOnly},
    {0x020A00, &kWsCommCenterOnly},
    {0x020B00, &kWsCommCenterOnly},
    {0x020C00, &kWsCommCenterOnly},
    {0x020D00, &kBothConnectors},
    {0x020E00, &kBothConnectors},
    {0x020F00, &kInfoCenterOnly},
    {0x021000, &kInfoCenterOnly},
    {0x021100, &kInfoCenterOnly},
    {0x021200, &kInfoCenterOnly},
    {0x021300, &kInfoCenterOnly},
};

}  // namespace

const SettingLocation* FindSettingLocation(std::int32_t release_code) {
  for (const CodeLocation& entry : kLocations) {
    if (entry.release_code == release_code) return entry.location;
  }
  return nullptr;
}
