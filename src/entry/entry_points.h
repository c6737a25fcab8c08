// The library's entry points, as the installer and the loader call them.
#pragma once

#include "platform/win_api.h"

extern "C" {

// Switches the info-center and communication-center settings of every known
// installed release off, recording the old values first. Reads the installer
// property "CustomActionData"; 13 (ERROR_INVALID_DATA) when it is empty;
// 1603 (ERROR_INSTALL_FAILURE) when a setting that exists could not be
// recorded or switched, a per-user copy could not be made, the write access
// to HKEY_LOCAL_MACHINE could not be told, or memory ran out; else 0. Every
// key is visited whatever failed before.
win::UINT SKERROW_STDCALL Install(win::MSIHANDLE install);

// Puts back every recorded value (the product default where the record says
// the setting was absent) and removes what Install created; a setting
// without a record is left alone. Results as for Install, 1603 when a
// recorded value could not be put back or a copy could not be removed.
win::UINT SKERROW_STDCALL Uninstall(win::MSIHANDLE install);

// Turns thread notifications off on process attach; nothing else.
win::BOOL SKERROW_STDCALL DllMain(win::HINSTANCE module, win::DWORD reason, void* reserved);

}  // extern "C"
