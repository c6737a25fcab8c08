#include "platform/emulation/user_hives.h"

#include <stdexcept>

#include "platform/emulation/allocation_faults.h"
#include "platform/emulation/security_ids.h"

namespace emu {
namespace detail {

void BuildUserHives(MachineState& state) {
  state.hku = std::make_shared<Key>();
  state.hku->name = u"HKU";
  Key& hkcu = AddChild(*state.hku, kDefaultProcessUser);
  // One key, one name: the call log and the dump know it as HKCU only.
  hkcu.alias = "HKCU";
  state.hkcu = hkcu.shared_from_this();
  state.process_user = kDefaultProcessUser;
}

Key& UserHive(const std::u16string& sid) {
  Key& users = *State().hku;
  Key* hive = FindChild(users, sid);
  return hive ? *hive : AddChild(users, sid);
}

bool IsUsersRoot(const Key& key) { return &key == State().hku.get(); }

bool IsHiveRoot(const Key& key) { return !key.parent || IsUsersRoot(*key.parent); }

}  // namespace detail

void SetProcessUser(const std::u16string& sid) {
  detail::AllocationExemption exemption;
  std::vector<win::BYTE> binary;
  std::u16string text;
  if (!detail::SidFromText(sid, &binary) || !detail::SidText(binary.data(), &text)) {
    throw std::invalid_argument("emu::SetProcessUser: not a SID: " + detail::ToUtf8(sid));
  }
  detail::MachineState& state = detail::State();
  const detail::Key* loaded = detail::FindChild(*state.hku, text);
  if (loaded && loaded != state.hkcu.get()) {
    throw std::invalid_argument("emu::SetProcessUser: another hive is loaded for " +
                                detail::ToUtf8(text));
  }
  detail::Rename(*state.hkcu, text);
  state.process_user = text;
}

}  // namespace emu
