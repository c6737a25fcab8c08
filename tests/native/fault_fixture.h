// The registry that the fault-position tests start from: settings of every
// type, absent settings, settings keys the user has and has not, and records
// left by an earlier run, at machine level in both views and at user level.
//
// "$M32" stands for HKLM\SOFTWARE as the 32-bit process sees it, "$M64" for
// the native HKLM\SOFTWARE of 64-bit Windows (left out on 32-bit Windows).
#pragma once

#include <string>

#include "platform/emulation/emulation.h"

namespace fault_fixture {

inline constexpr char kMachine32[] = R"(
$M32\Autodesk\AutoCAD\R17.1\ACAD-5001:409\Applications\WSCommCntrAcCon
  LOADCTRLS = dword:14
  Name = sz:Communication Center
$M32\Autodesk\AutoCAD\R17.1\ACAD-5001:409\Applications\InfoCenterAcConn
  Name = sz:InfoCenter
$M32\Autodesk\AutoCAD\R18.0\ACAD-8001:409\InfoCenter
  InfoCenterOn = sz:1
$M32\Autodesk\AutoCAD\R18.1\ACAD-9001:409\InfoCenter
  InfoCenterOn = expand_sz:%SystemRoot%\on
$M32\Autodesk\AutoCAD\R18.2\ACAD-A001:409\InfoCenter
  InfoCenterOn = hex:01,02
$M32\Autodesk\AutoCAD\R19.0\ACAD-B001:409\InfoCenter
  InfoCenterOn = hex(0):07,00
$M32\Autodesk\AutoCAD\R19.1\ACAD-D001:409\InfoCenter
  InfoCenterOn = hex(4):01,00,00,00,02,00,00,00
$M32\Autodesk\AutoCAD LT\R13\ACADLT-3001:409\Applications\WSCommCntrAcCon
  LOADCTRLS = dword:0
$M32\Autodesk\AutoCAD LT\R13\ACADLT-3001:409\Applications\InfoCenterAcConn
  LOADCTRLS = dword:0
$M32\Autodesk\AutoCAD LT\R13\ACADLT-3001:409\Applications\InfoCenterAcConn\SKRW_Backup
  LOADCTRLS = dword:3
$M32\Autodesk\AutoCAD LT\R19\ACADLT-D001:409\InfoCenter
  InfoCenterOn = dword:1
  Mode = dword:2
$M32\CadManagerControl\CommunicationCenter
  EnableCommunicationCenter = dword:0
)";

inline constexpr char kMachine64[] = R"(
$M64\Autodesk\AutoCAD\R18.0\ACAD-8001:409\InfoCenter
  InfoCenterOn = dword:1
$M64\Autodesk\AutoCAD LT\R19\ACADLT-D001:409\InfoCenter
  InfoCenterOn = hex(1):31,00
$M64\Autodesk\AutoCAD LT\R19\ACADLT-D001:409\InfoCenter\SKRW_Backup
  SKRW_Absent_InfoCenterOn = dword:1
$M64\CadManagerControl\CommunicationCenter
  EnableCommunicationCenter = dword:0
)";

// The user's own 0, a record of an earlier run in a key of the user's, a key
// without the setting, and product keys whose settings keys the user lacks.
inline constexpr char kUser[] = R"(
HKCU\Software\Autodesk\AutoCAD\R17.1\ACAD-5001:409
  Profile = sz:Default
HKCU\Software\Autodesk\AutoCAD\R18.0\ACAD-8001:409\InfoCenter
  InfoCenterOn = dword:0
HKCU\Software\Autodesk\AutoCAD\R19.0\ACAD-B001:409\InfoCenter
  InfoCenterOn = sz:1
HKCU\Software\Autodesk\AutoCAD\R19.0\ACAD-B001:409\InfoCenter\SKRW_Backup
  InfoCenterOn = dword:1
HKCU\Software\Autodesk\AutoCAD LT\R13\ACADLT-3001:409\Applications\WSCommCntrAcCon
  Name = sz:Communication Center
HKCU\Software\Autodesk\AutoCAD LT\R19\ACADLT-D001:409
  Profile = sz:Default
HKCU\Software\CadManagerControl\CommunicationCenter
  EnableCommunicationCenter = dword:0
)";

// Other persons: Alice is logged on, with her own settings and a record of
// an earlier run; Bob is not, and has settings of his own, a product key of
// his own that a per-user Install of his copied into, and the
// communication-center key; Erin's hive is in use elsewhere; Dan's folder
// is gone.
inline constexpr char kPersons[] = R"(
$P\S-1-5-21-7-7-7-1001
  ProfileImagePath = expand_sz:%SystemDrive%\Users\alice
$P\S-1-5-21-7-7-7-1002
  ProfileImagePath = expand_sz:%SystemDrive%\Users\bob
$P\S-1-5-21-7-7-7-1003
  ProfileImagePath = expand_sz:%SystemDrive%\Users\erin
$P\S-1-5-21-7-7-7-1004
  ProfileImagePath = expand_sz:%SystemDrive%\Users\dan
HKU\S-1-5-21-7-7-7-1001\Software\Autodesk\AutoCAD\R18.0\ACAD-8001:409\InfoCenter
  InfoCenterOn = dword:1
HKU\S-1-5-21-7-7-7-1001\Software\Autodesk\AutoCAD LT\R19\ACADLT-D001:409\InfoCenter
  InfoCenterOn = sz:1
HKU\S-1-5-21-7-7-7-1001\Software\Autodesk\AutoCAD LT\R19\ACADLT-D001:409\InfoCenter\SKRW_Backup
  InfoCenterOn = dword:1
<C:\Users\bob\NTUSER.DAT>\Software\Autodesk\AutoCAD\R17.1\ACAD-5001:409\Applications\WSCommCntrAcCon
  LOADCTRLS = dword:3
<C:\Users\bob\NTUSER.DAT>\Software\Autodesk\AutoCAD\R18.0\ACAD-8002:409
  Profile = sz:Bob
<C:\Users\bob\NTUSER.DAT>\Software\Autodesk\AutoCAD\R18.0\ACAD-8002:409\InfoCenter
  SKRW_RemoveOnUninstall = dword:1
  InfoCenterOn = dword:0
<C:\Users\bob\NTUSER.DAT>\Software\Autodesk\AutoCAD\R18.0\ACAD-8002:409\InfoCenter\SKRW_Backup
  InfoCenterOn = dword:1
<C:\Users\bob\NTUSER.DAT>\Software\CadManagerControl\CommunicationCenter
  EnableCommunicationCenter = dword:0
<C:\Users\erin\NTUSER.DAT>\Software\Autodesk\AutoCAD\R18.0\ACAD-8001:409\InfoCenter
  InfoCenterOn = dword:1
)";

// The machine's keys that the persons' own keys lie below; the system
// account's hive has none.
inline constexpr char kMachineOfPersons[] = R"(
$M32\Autodesk\AutoCAD\R17.1\ACAD-5001:409\Applications\WSCommCntrAcCon
  LOADCTRLS = dword:14
$M32\Autodesk\AutoCAD\R18.0\ACAD-8001:409\InfoCenter
  InfoCenterOn = sz:1
$M32\Autodesk\AutoCAD LT\R19\ACADLT-D001:409\InfoCenter
  InfoCenterOn = dword:1
$M32\CadManagerControl\CommunicationCenter
  EnableCommunicationCenter = dword:0
)";

// The whole fixture in the Load format for |machine|: both machine views on
// WOW64, the 32-bit one alone on 32-bit Windows, and the user's keys; with
// |persons|, the other persons' profiles and hives and the machine's keys
// above theirs instead.
inline std::string Registry(emu::Machine machine, bool persons = false) {
  const bool wow64 = machine == emu::Machine::Wow64;
  std::string text = persons ? std::string(kMachineOfPersons) + (wow64 ? kMachine64 : "") + kPersons
                             : std::string(kMachine32) + (wow64 ? kMachine64 : "") + kUser;
  const std::string profiles = "HKLM\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\ProfileList";
  for (std::size_t at; (at = text.find("$P")) != std::string::npos;) text.replace(at, 2, profiles);
  const std::string m32 = wow64 ? "HKLM\\SOFTWARE\\Wow6432Node" : "HKLM\\SOFTWARE";
  for (std::size_t at; (at = text.find("$M32")) != std::string::npos;) text.replace(at, 4, m32);
  for (std::size_t at; (at = text.find("$M64")) != std::string::npos;) {
    text.replace(at, 4, "HKLM\\SOFTWARE");
  }
  return text;
}

}  // namespace fault_fixture
