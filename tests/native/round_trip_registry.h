// The registry of the round-trip scenarios: a machine with several releases
// of AutoCAD and AutoCAD LT, and the state each part of it is expected to
// reach after Install and after Uninstall.
//
// "$M32" stands for HKLM\SOFTWARE as the 32-bit process sees it (physically
// HKLM\SOFTWARE\Wow6432Node on 64-bit Windows), "$M64" for the native
// HKLM\SOFTWARE of 64-bit Windows. HKEY_CURRENT_USER\Software is one key in
// both views.
#pragma once

namespace round_trip {

// The 32-bit machine view. R16.2 and AutoCAD LT R13 are swept in the first
// pass only. R17.1 and AutoCAD LT R13 have two settings keys; the second one
// of R17.1 lacks the setting. R18.0 holds the setting as text. ACAD-8002 has
// no settings key at all.
inline constexpr char kMachine32[] = R"(
$M32\Autodesk\AutoCAD\R16.2\ACAD-4001:409
  ProductName = sz:AutoCAD 2005
$M32\Autodesk\AutoCAD\R16.2\ACAD-4001:409\Applications\WSCommCntrAcCon
  LOADCTRLS = dword:2
$M32\Autodesk\AutoCAD\R17.1\ACAD-5001:409\Applications\WSCommCntrAcCon
  LOADCTRLS = dword:14
  Name = sz:Communication Center
$M32\Autodesk\AutoCAD\R17.1\ACAD-5001:409\Applications\InfoCenterAcConn
  Name = sz:InfoCenter
$M32\Autodesk\AutoCAD\R18.0\ACAD-8001:409\InfoCenter
  InfoCenterOn = sz:1
  Mode = dword:3
$M32\Autodesk\AutoCAD\R18.0\ACAD-8002:409
  ProductName = sz:AutoCAD Map 3D 2010
$M32\Autodesk\AutoCAD LT\R13\ACADLT-3001:409\Applications\WSCommCntrAcCon
  LOADCTRLS = dword:2
$M32\Autodesk\AutoCAD LT\R13\ACADLT-3001:409\Applications\InfoCenterAcConn
  LOADCTRLS = dword:0
$M32\Autodesk\AutoCAD LT\R19\ACADLT-D001:409\InfoCenter
  InfoCenterOn = dword:1
$M32\CadManagerControl\CommunicationCenter
  EnableCommunicationCenter = dword:0
$M32\Vendor\Unrelated
  LOADCTRLS = dword:2
)";

// Switched at machine level: every present setting saved and 0, the absent
// one recorded as absent and created as 0; the text setting saved as text.
inline constexpr char kMachine32Switched[] = R"(
$M32\Autodesk\AutoCAD\R16.2\ACAD-4001:409
  ProductName = sz:AutoCAD 2005
$M32\Autodesk\AutoCAD\R16.2\ACAD-4001:409\Applications\WSCommCntrAcCon
  LOADCTRLS = dword:0
$M32\Autodesk\AutoCAD\R16.2\ACAD-4001:409\Applications\WSCommCntrAcCon\SKRW_Backup
  LOADCTRLS = dword:2
$M32\Autodesk\AutoCAD\R17.1\ACAD-5001:409\Applications\WSCommCntrAcCon
  LOADCTRLS = dword:0
  Name = sz:Communication Center
$M32\Autodesk\AutoCAD\R17.1\ACAD-5001:409\Applications\WSCommCntrAcCon\SKRW_Backup
  LOADCTRLS = dword:14
$M32\Autodesk\AutoCAD\R17.1\ACAD-5001:409\Applications\InfoCenterAcConn
  Name = sz:InfoCenter
  LOADCTRLS = dword:0
$M32\Autodesk\AutoCAD\R17.1\ACAD-5001:409\Applications\InfoCenterAcConn\SKRW_Backup
  SKRW_Absent_LOADCTRLS = dword:1
$M32\Autodesk\AutoCAD\R18.0\ACAD-8001:409\InfoCenter
  InfoCenterOn = dword:0
  Mode = dword:3
$M32\Autodesk\AutoCAD\R18.0\ACAD-8001:409\InfoCenter\SKRW_Backup
  InfoCenterOn = sz:1
$M32\Autodesk\AutoCAD\R18.0\ACAD-8002:409
  ProductName = sz:AutoCAD Map 3D 2010
$M32\Autodesk\AutoCAD LT\R13\ACADLT-3001:409\Applications\WSCommCntrAcCon
  LOADCTRLS = dword:0
$M32\Autodesk\AutoCAD LT\R13\ACADLT-3001:409\Applications\WSCommCntrAcCon\SKRW_Backup
  LOADCTRLS = dword:2
$M32\Autodesk\AutoCAD LT\R13\ACADLT-3001:409\Applications\InfoCenterAcConn
  LOADCTRLS = dword:0
$M32\Autodesk\AutoCAD LT\R13\ACADLT-3001:409\Applications\InfoCenterAcConn\SKRW_Backup
  LOADCTRLS = dword:0
$M32\Autodesk\AutoCAD LT\R19\ACADLT-D001:409\InfoCenter
  InfoCenterOn = dword:0
$M32\Autodesk\AutoCAD LT\R19\ACADLT-D001:409\InfoCenter\SKRW_Backup
  InfoCenterOn = dword:1
$M32\CadManagerControl\CommunicationCenter
  EnableCommunicationCenter = dword:0
$M32\Vendor\Unrelated
  LOADCTRLS = dword:2
)";

// Restored at machine level: saved values back, backups gone; the setting
// that had been absent now holds the default; the communication center
// holds its default.
inline constexpr char kMachine32Restored[] = R"(
$M32\Autodesk\AutoCAD\R16.2\ACAD-4001:409
  ProductName = sz:AutoCAD 2005
$M32\Autodesk\AutoCAD\R16.2\ACAD-4001:409\Applications\WSCommCntrAcCon
  LOADCTRLS = dword:2
$M32\Autodesk\AutoCAD\R17.1\ACAD-5001:409\Applications\WSCommCntrAcCon
  LOADCTRLS = dword:14
  Name = sz:Communication Center
$M32\Autodesk\AutoCAD\R17.1\ACAD-5001:409\Applications\InfoCenterAcConn
  Name = sz:InfoCenter
  LOADCTRLS = dword:2
$M32\Autodesk\AutoCAD\R18.0\ACAD-8001:409\InfoCenter
  InfoCenterOn = sz:1
  Mode = dword:3
$M32\Autodesk\AutoCAD\R18.0\ACAD-8002:409
  ProductName = sz:AutoCAD Map 3D 2010
$M32\Autodesk\AutoCAD LT\R13\ACADLT-3001:409\Applications\WSCommCntrAcCon
  LOADCTRLS = dword:2
$M32\Autodesk\AutoCAD LT\R13\ACADLT-3001:409\Applications\InfoCenterAcConn
  LOADCTRLS = dword:0
$M32\Autodesk\AutoCAD LT\R19\ACADLT-D001:409\InfoCenter
  InfoCenterOn = dword:1
$M32\CadManagerControl\CommunicationCenter
  EnableCommunicationCenter = dword:1
$M32\Vendor\Unrelated
  LOADCTRLS = dword:2
)";

// The 64-bit machine view (64-bit Windows only). R16.2 is never swept there.
inline constexpr char kMachine64[] = R"(
$M64\Autodesk\AutoCAD\R16.2\ACAD-4001:409\Applications\WSCommCntrAcCon
  LOADCTRLS = dword:2
$M64\Autodesk\AutoCAD\R18.0\ACAD-8001:409\InfoCenter
  InfoCenterOn = dword:1
$M64\Autodesk\AutoCAD LT\R19\ACADLT-D001:409\InfoCenter
  InfoCenterOn = dword:0
$M64\CadManagerControl\CommunicationCenter
  EnableCommunicationCenter = dword:0
)";

inline constexpr char kMachine64Switched[] = R"(
$M64\Autodesk\AutoCAD\R16.2\ACAD-4001:409\Applications\WSCommCntrAcCon
  LOADCTRLS = dword:2
$M64\Autodesk\AutoCAD\R18.0\ACAD-8001:409\InfoCenter
  InfoCenterOn = dword:0
$M64\Autodesk\AutoCAD\R18.0\ACAD-8001:409\InfoCenter\SKRW_Backup
  InfoCenterOn = dword:1
$M64\Autodesk\AutoCAD LT\R19\ACADLT-D001:409\InfoCenter
  InfoCenterOn = dword:0
$M64\Autodesk\AutoCAD LT\R19\ACADLT-D001:409\InfoCenter\SKRW_Backup
  InfoCenterOn = dword:0
$M64\CadManagerControl\CommunicationCenter
  EnableCommunicationCenter = dword:0
)";

inline constexpr char kMachine64Restored[] = R"(
$M64\Autodesk\AutoCAD\R16.2\ACAD-4001:409\Applications\WSCommCntrAcCon
  LOADCTRLS = dword:2
$M64\Autodesk\AutoCAD\R18.0\ACAD-8001:409\InfoCenter
  InfoCenterOn = dword:1
$M64\Autodesk\AutoCAD LT\R19\ACADLT-D001:409\InfoCenter
  InfoCenterOn = dword:0
$M64\CadManagerControl\CommunicationCenter
  EnableCommunicationCenter = dword:1
)";

// The user's hive: an R17.1 product without settings keys, an R18.0 settings
// key where the user had switched InfoCenter off, an AutoCAD LT R13 settings
// key without the setting, and a per-user communication-center key.
inline constexpr char kUser[] = R"(
HKCU\Software\Autodesk\AutoCAD\R17.1\ACAD-5001:409
  Profile = sz:Default
HKCU\Software\Autodesk\AutoCAD\R18.0\ACAD-8001:409\InfoCenter
  InfoCenterOn = dword:0
HKCU\Software\Autodesk\AutoCAD LT\R13\ACADLT-3001:409\Applications\WSCommCntrAcCon
  Name = sz:Communication Center
HKCU\Software\CadManagerControl\CommunicationCenter
  EnableCommunicationCenter = dword:0
HKCU\Software\Vendor\Unrelated
  InfoCenterOn = dword:1
)";

// Installed machine-wide: only the user's existing settings keys are
// switched; nothing is copied.
inline constexpr char kUserBesideMachine[] = R"(
HKCU\Software\Autodesk\AutoCAD\R17.1\ACAD-5001:409
  Profile = sz:Default
HKCU\Software\Autodesk\AutoCAD\R18.0\ACAD-8001:409\InfoCenter
  InfoCenterOn = dword:0
HKCU\Software\Autodesk\AutoCAD\R18.0\ACAD-8001:409\InfoCenter\SKRW_Backup
  InfoCenterOn = dword:0
HKCU\Software\Autodesk\AutoCAD LT\R13\ACADLT-3001:409\Applications\WSCommCntrAcCon
  Name = sz:Communication Center
  LOADCTRLS = dword:0
HKCU\Software\Autodesk\AutoCAD LT\R13\ACADLT-3001:409\Applications\WSCommCntrAcCon\SKRW_Backup
  SKRW_Absent_LOADCTRLS = dword:1
HKCU\Software\CadManagerControl\CommunicationCenter
  EnableCommunicationCenter = dword:0
HKCU\Software\Vendor\Unrelated
  InfoCenterOn = dword:1
)";

// Installed per user: the settings keys missing below the user's product
// keys are copied from the 32-bit machine view (values from the highest
// index down) and marked; the copies hold the machine's values as backups.
// The key created above the first copy is marked too.
inline constexpr char kUserAlone[] = R"(
HKCU\Software\Autodesk\AutoCAD\R17.1\ACAD-5001:409
  Profile = sz:Default
HKCU\Software\Autodesk\AutoCAD\R17.1\ACAD-5001:409\Applications
  SKRW_RemoveWhenEmpty = dword:1
HKCU\Software\Autodesk\AutoCAD\R17.1\ACAD-5001:409\Applications\WSCommCntrAcCon
  Name = sz:Communication Center
  LOADCTRLS = dword:0
  SKRW_RemoveOnUninstall = dword:1
HKCU\Software\Autodesk\AutoCAD\R17.1\ACAD-5001:409\Applications\WSCommCntrAcCon\SKRW_Backup
  LOADCTRLS = dword:14
HKCU\Software\Autodesk\AutoCAD\R17.1\ACAD-5001:409\Applications\InfoCenterAcConn
  Name = sz:InfoCenter
  SKRW_RemoveOnUninstall = dword:1
  LOADCTRLS = dword:0
HKCU\Software\Autodesk\AutoCAD\R17.1\ACAD-5001:409\Applications\InfoCenterAcConn\SKRW_Backup
  SKRW_Absent_LOADCTRLS = dword:1
HKCU\Software\Autodesk\AutoCAD\R18.0\ACAD-8001:409\InfoCenter
  InfoCenterOn = dword:0
HKCU\Software\Autodesk\AutoCAD\R18.0\ACAD-8001:409\InfoCenter\SKRW_Backup
  InfoCenterOn = dword:0
HKCU\Software\Autodesk\AutoCAD LT\R13\ACADLT-3001:409\Applications\WSCommCntrAcCon
  Name = sz:Communication Center
  LOADCTRLS = dword:0
HKCU\Software\Autodesk\AutoCAD LT\R13\ACADLT-3001:409\Applications\WSCommCntrAcCon\SKRW_Backup
  SKRW_Absent_LOADCTRLS = dword:1
HKCU\Software\Autodesk\AutoCAD LT\R13\ACADLT-3001:409\Applications\InfoCenterAcConn
  LOADCTRLS = dword:0
  SKRW_RemoveOnUninstall = dword:1
HKCU\Software\Autodesk\AutoCAD LT\R13\ACADLT-3001:409\Applications\InfoCenterAcConn\SKRW_Backup
  LOADCTRLS = dword:0
HKCU\Software\CadManagerControl\CommunicationCenter
  EnableCommunicationCenter = dword:0
HKCU\Software\Vendor\Unrelated
  InfoCenterOn = dword:1
)";

// Uninstalled, whichever way it was installed: copies gone with the keys they
// left empty, the user's own 0 restored (not the default), the default where
// nothing was saved, the communication center at its default.
inline constexpr char kUserRestored[] = R"(
HKCU\Software\Autodesk\AutoCAD\R17.1\ACAD-5001:409
  Profile = sz:Default
HKCU\Software\Autodesk\AutoCAD\R18.0\ACAD-8001:409\InfoCenter
  InfoCenterOn = dword:0
HKCU\Software\Autodesk\AutoCAD LT\R13\ACADLT-3001:409\Applications\WSCommCntrAcCon
  Name = sz:Communication Center
  LOADCTRLS = dword:2
HKCU\Software\CadManagerControl\CommunicationCenter
  EnableCommunicationCenter = dword:1
HKCU\Software\Vendor\Unrelated
  InfoCenterOn = dword:1
)";

}  // namespace round_trip
