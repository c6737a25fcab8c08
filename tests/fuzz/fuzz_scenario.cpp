#include "fuzz_scenario.h"

#include "platform/emulation/allocation_faults.h"
#include "platform/emulation/key_tree.h"
#include "platform/emulation/machine_state.h"

namespace fuzz {
namespace {

using emu::detail::Key;

class Reader {
 public:
  Reader(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
  bool Done() const { return at_ >= size_; }
  std::uint8_t Byte() { return at_ < size_ ? data_[at_++] : 0; }
  std::uint16_t Word() {
    const std::uint16_t low = Byte();
    return static_cast<std::uint16_t>(low | (Byte() << 8));
  }

 private:
  const std::uint8_t* data_;
  std::size_t size_;
  std::size_t at_ = 0;
};

// Units of "CustomActionData": what the flag rule looks at, and text around it.
constexpr char16_t kDataUnits[] = {
    u'>', u'1', u'0', u'\0', char16_t(0xD800), char16_t(0xDC00), u'[', u'x',
    u'Ä', u'>', u'1', u'\\'};

// Units of generated names: ASCII, letters that fold beyond ASCII, ones that
// do not, and halves of a surrogate pair (alone or together). No backslash,
// no '=', no line break, no NUL: the dump format and key paths need them.
constexpr char16_t kNameUnits[] = {u'a',
                                   u'Z',
                                   u'0',
                                   u'9',
                                   u' ',
                                   u'_',
                                   u'-',
                                   u'.',
                                   u':',
                                   u'{',
                                   u'}',
                                   u'Ä',
                                   u'ä',
                                   u'Ö',
                                   u'ö',
                                   u'Ω',
                                   u'ω',
                                   u'Ж',
                                   u'ж',
                                   u'ÿ',
                                   u'Ÿ',
                                   u'ß',
                                   u'ı',
                                   u'I',
                                   u'i',
                                   u'ς',
                                   u'Σ',
                                   u'σ',
                                   char16_t(0xD83D),
                                   char16_t(0xDE00),
                                   u'"',
                                   u'#'};

// Names the library looks for, and near misses.
const char16_t* const kKeyNames[] = {
    u"ACAD-8001:409", u"ACAD-8001:409",     u"ÄCAD",        u"äCAD",         u"ACADLT-D001:409",
    u"SKRW_Backup",   u"skrw_backup",       u"InfoCenter",  u"Applications", u"WSCommCntrAcCon",
    u"Profiles",      u"CadManagerControl", u"Wow6432Node", u"R18.0",        u"Жар",
};

const char16_t* const kValueNames[] = {
    u"LOADCTRLS",
    u"loadctrls",
    u"InfoCenterOn",
    u"INFOCENTERON",
    u"EnableCommunicationCenter",
    u"SKRW_RemoveOnUninstall",
    u"SKRW_Absent_LOADCTRLS",
    u"SKRW_Absent_InfoCenterOn",
    u"SKRW_Absent_EnableCommunicationCenter",
    u"",  // the default value
    u"Name",
    u"skrw_absent_infocenteron",
};

// Release keys below "Autodesk": the swept ones and some that are not.
const char16_t* const kReleases[] = {
    u"AutoCAD\\R16.0",  u"AutoCAD\\R16.1",  u"AutoCAD\\R16.2",  u"AutoCAD\\R17.0",
    u"AutoCAD\\R17.1",  u"AutoCAD\\R17.2",  u"AutoCAD\\R18.0",  u"AutoCAD\\R18.1",
    u"AutoCAD\\R18.2",  u"AutoCAD\\R19.0",  u"AutoCAD\\R19.1",  u"AutoCAD LT\\R9",
    u"AutoCAD LT\\R10", u"AutoCAD LT\\R11", u"AutoCAD LT\\R12", u"AutoCAD LT\\R13",
    u"AutoCAD LT\\R14", u"AutoCAD LT\\R15", u"AutoCAD LT\\R16", u"AutoCAD LT\\R17",
    u"AutoCAD LT\\R18", u"AutoCAD LT\\R19", u"AutoCAD\\R15.0",  u"AutoCAD\\R20.0",
    u"AutoCAD\\R19.2",  u"AutoCAD LT\\R20", u"autocad\\r18.0",  u"AUTOCAD LT\\R14",
};

const char16_t* const kSuffixes[] = {
    u"Applications\\WSCommCntrAcCon",
    u"Applications\\InfoCenterAcConn",
    u"InfoCenter",
    u"INFOCENTER",
};

constexpr std::uint32_t kTypes[] = {
    win::REG_NONE,      win::REG_SZ,          win::REG_EXPAND_SZ,
    win::REG_BINARY,    win::REG_DWORD,       5 /* REG_DWORD_BIG_ENDIAN */,
    6 /* REG_LINK */,   7 /* REG_MULTI_SZ */, 8 /* REG_RESOURCE_LIST */,
    11 /* REG_QWORD */, win::REG_DWORD,       win::REG_SZ};

// Data sizes around the shared 2080-byte buffers and the first read of 64.
constexpr std::size_t kSizes[] = {0, 1, 2, 3, 4, 5, 7, 8, 16, 63, 64, 65, 2078, 2080, 2082, 4096};

template <typename T, std::size_t N>
constexpr std::size_t Count(const T (&)[N]) {
  return N;
}

std::u16string Name(Reader& in) {
  const std::uint8_t choice = in.Byte();
  if (choice < 0x80) return kKeyNames[choice % Count(kKeyNames)];
  // 1 to 255 units; the longer ones repeat their last unit.
  std::size_t length = in.Byte();
  if (length == 0) length = 255;
  std::u16string name;
  for (std::size_t i = 0; i < length; ++i) {
    if (i < 16 || in.Done()) {
      name += kNameUnits[in.Byte() % Count(kNameUnits)];
    } else {
      name += name.back();
    }
  }
  return name;
}

std::u16string ValueName(Reader& in) {
  const std::uint8_t choice = in.Byte();
  if (choice < 0xC0) return kValueNames[choice % Count(kValueNames)];
  return Name(in);
}

std::vector<win::BYTE> Data(Reader& in, std::uint32_t type) {
  const std::uint8_t size_choice = in.Byte();
  std::size_t size = kSizes[size_choice % Count(kSizes)];
  if (size_choice >= 0xF0) size = std::size_t{in.Byte()} * 2 + (size_choice & 1);
  std::vector<win::BYTE> data(size, 0);
  const std::uint8_t fill = in.Byte();
  switch (fill % 4) {
    case 0:  // zeros, as DWORD 0 or empty text
      break;
    case 1:  // bytes of the input, then zeros
      for (std::size_t i = 0; i < size && i < 64 && !in.Done(); ++i) data[i] = in.Byte();
      break;
    case 2: {  // text of one unit, terminated unless the size is odd or bit 2 says so
      for (std::size_t i = 0; i + 1 < size; i += 2)
        data[i] = (fill >> 3) ? '1' + (fill >> 3) % 8 : '1';
      if (!(fill & 4) && size >= 2) data[size - 2] = 0;
      break;
    }
    default: {  // "%V%" repeated: expands past the string buffer
      const char16_t pattern[] = u"%V%";
      for (std::size_t i = 0; i + 1 < size; i += 2)
        data[i] = static_cast<win::BYTE>(pattern[(i / 2) % 3]);
      if (size >= 2) data[size - 2] = 0;
      break;
    }
  }
  (void)type;
  return data;
}

Key& Child(Key& key, const std::u16string& name) {
  if (Key* found = emu::detail::FindChild(key, name)) return *found;
  return emu::detail::AddChild(key, name);
}

Key& Path(Key& key, const std::u16string& path) {
  Key* at = &key;
  std::size_t start = 0;
  while (start <= path.size()) {
    std::size_t end = path.find(u'\\', start);
    if (end == std::u16string::npos) end = path.size();
    if (end > start) at = &Child(*at, path.substr(start, end - start));
    start = end + 1;
  }
  return *at;
}

constexpr char16_t kLoggedOn[] = u"S-1-5-21-7-7-7-1001";
constexpr char16_t kInFile[] = u"C:\\Users\\bob\\NTUSER.DAT";
constexpr char16_t kInUse[] = u"C:\\Users\\erin\\NTUSER.DAT";

// The other persons: their profiles, and their hives with nothing in them.
constexpr char kPersons[] = R"(
HKLM\SOFTWARE\Microsoft\Windows NT\CurrentVersion\ProfileList\S-1-5-21-7-7-7-1001
  ProfileImagePath = expand_sz:%SystemDrive%\Users\alice
HKLM\SOFTWARE\Microsoft\Windows NT\CurrentVersion\ProfileList\S-1-5-21-7-7-7-1002
  ProfileImagePath = expand_sz:%SystemDrive%\Users\bob
HKLM\SOFTWARE\Microsoft\Windows NT\CurrentVersion\ProfileList\S-1-5-21-7-7-7-1003
  ProfileImagePath = expand_sz:%SystemDrive%\Users\erin
HKU\S-1-5-21-7-7-7-1001\Software
<C:\Users\bob\NTUSER.DAT>\Software
<C:\Users\erin\NTUSER.DAT>\Software
)";

// The root of the software keys each record is placed in: the 32-bit view of
// HKLM\SOFTWARE, its 64-bit view (WOW64 only), or a user's Software: HKCU's,
// and with |persons| also a logged-on person's or one in a hive file.
Key& SoftwareRoot(std::uint8_t choice, emu::Machine machine, bool persons) {
  auto& state = emu::detail::State();
  switch (choice % 3) {
    case 0:
      return Path(*state.hklm,
                  machine == emu::Machine::Wow64 ? u"SOFTWARE\\Wow6432Node" : u"SOFTWARE");
    case 1:
      return Path(*state.hklm, u"SOFTWARE");
    default:
      break;
  }
  if (persons && choice / 3 % 3 == 1) {
    return Path(*emu::detail::FindChild(*state.hku, kLoggedOn), u"Software");
  }
  if (persons && choice / 3 % 3 == 2) {
    return Path(*state.hive_files.at(emu::detail::Fold(kInFile)), u"Software");
  }
  return Path(*state.hkcu, u"Software");
}

}  // namespace

void StartPersons() {
  emu::SetProcessUser(u"S-1-5-18");
  emu::RefuseHiveFile(kInUse, win::ERROR_SHARING_VIOLATION);
}

std::string InFile(const std::string& path) {
  static const std::string loaded = "hku\\s-1-5-21-7-7-7-1002";
  if (path.size() < loaded.size()) return path;
  for (std::size_t i = 0; i < loaded.size(); ++i) {
    if (emu::detail::FoldUnit(static_cast<unsigned char>(path[i])) != loaded[i]) return path;
  }
  if (path.size() > loaded.size() && path[loaded.size()] != '\\') return path;
  return "<" + emu::detail::ToUtf8(kInFile) + ">" + path.substr(loaded.size());
}

Scenario BuildScenario(const std::uint8_t* input, std::size_t size) {
  Reader in(input, size);
  Scenario scenario;
  const std::uint8_t flags = in.Byte();
  scenario.machine = (flags & 1) ? emu::Machine::Wow64 : emu::Machine::Windows32;
  scenario.user = (flags & 2) ? emu::User::Standard : emu::User::Administrator;
  scenario.uninstall_in_new_process = (flags & 4) != 0;
  scenario.is_wow64_process_exported = (flags & 8) == 0;
  scenario.refuses_messages = (flags & 16) != 0;
  scenario.all_users = (flags & 32) != 0;
  scenario.fault = static_cast<FaultKind>(in.Byte() % 5);
  scenario.fault_position = in.Word();
  scenario.fault_error = in.Byte();
  const std::uint8_t length = in.Byte();
  scenario.data_set = length != 255;
  for (std::size_t i = 0; scenario.data_set && i < length; ++i) {
    scenario.data += kDataUnits[in.Byte() % Count(kDataUnits)];
  }

  if (scenario.all_users && scenario.data_set) scenario.data += u";AllUsers";

  emu::Reset(scenario.machine, scenario.user);
  emu::detail::AllocationExemption exemption;
  if (scenario.all_users) {
    StartPersons();
    emu::Load(kPersons);
    scenario.environment.emplace_back(u"SystemDrive", u"C:");
  }
  Key* product = nullptr;
  Key* release = nullptr;
  Key* current = nullptr;
  while (!in.Done()) {
    const std::uint8_t op = in.Byte();
    switch (op % 10) {
      case 0: {  // product key below a release key
        Key& software = SoftwareRoot(in.Byte(), scenario.machine, scenario.all_users);
        release = &Path(software,
                        std::u16string(u"Autodesk\\") + kReleases[in.Byte() % Count(kReleases)]);
        product = current = &Child(*release, Name(in));
        break;
      }
      case 1:  // settings key of the product
        if (product) current = &Path(*product, kSuffixes[in.Byte() % Count(kSuffixes)]);
        break;
      case 2: {  // a value of any type and size in the current key
        if (!current) break;
        const std::u16string name = ValueName(in);
        const std::uint8_t type_choice = in.Byte();
        std::uint32_t type = kTypes[type_choice % Count(kTypes)];
        if (type_choice >= 0xF8) type = in.Byte();
        emu::detail::SetValue(*current, name, type, Data(in, type));
        break;
      }
      case 3:  // an earlier run's backup key
        if (current) current = &Child(*current, in.Byte() & 1 ? u"skrw_backup" : u"SKRW_Backup");
        break;
      case 4:  // any sub-key
        if (current) current = &Child(*current, Name(in));
        break;
      case 5:  // back up one level, never past the product key's parent or a hive's root
        if (current && current->parent && current != release &&
            current != emu::detail::State().hkcu.get()) {
          current = current->parent;
        }
        break;
      case 6: {  // an earlier run's removal marker, mostly the real one
        if (!current) break;
        const std::uint8_t kind = in.Byte();
        const std::uint32_t type = kind < 0xC0 ? win::REG_DWORD : kind % 12;
        std::vector<win::BYTE> data = {1, 0, 0, 0};
        if (kind >= 0x80) data[0] = kind & 3;
        if (kind >= 0xE0) data.resize(kind & 7);
        emu::detail::SetValue(*current, u"SKRW_RemoveOnUninstall", type, data);
        break;
      }
      case 7: {  // CadManagerControl below a root's sub-key
        auto& state = emu::detail::State();
        const std::uint8_t where = in.Byte();
        Key& root = (where & 1) ? *state.hkcu : *state.hklm;
        const char16_t* top = (where & 2) ? u"Software" : (where & 4) ? u"SYSTEM" : u"SOFTWARE";
        std::u16string path = top;
        if ((where & 8) && scenario.machine == emu::Machine::Wow64 && !(where & 1)) {
          path = u"SOFTWARE\\Wow6432Node";
        }
        current = &Path(root, path + u"\\CadManagerControl\\CommunicationCenter");
        product = nullptr;
        break;
      }
      case 8: {  // an environment variable for REG_EXPAND_SZ data
        std::u16string value(std::size_t{in.Byte()} * 8, u'v');
        scenario.environment.emplace_back(in.Byte() & 1 ? u"V" : u"SystemRoot", value);
        break;
      }
      default: {  // many product keys below the current release key
        if (!release) break;
        const std::size_t count = in.Byte();
        const std::u16string base = Name(in);
        for (std::size_t i = 0; i < count; ++i) {
          Key& many = Child(*release, base + u"-" + std::u16string(1, char16_t(u'A' + i % 26)) +
                                          std::u16string(1, char16_t(u'a' + i / 26 % 26)) +
                                          std::u16string(1, char16_t(u'0' + i / 676 % 10)));
          Key& settings = Path(many, kSuffixes[2]);
          emu::detail::SetValue(settings, u"InfoCenterOn", win::REG_DWORD, {1, 0, 0, 0});
        }
        break;
      }
    }
  }
  return scenario;
}

}  // namespace fuzz
