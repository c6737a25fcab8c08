// The library's entry points, as the installer and the loader call them.
#pragma once

#include "platform/win_api.h"

extern "C" {

// Switches the info-center and communication-center settings of every known
// installed release off, saving the old values first. Reads the installer
// property "CustomActionData"; 13 (ERROR_INVALID_DATA) when it is empty,
// 1603 (ERROR_INSTALL_FAILURE) when memory ran out, else 0.
win::UINT SKERROW_STDCALL Install(win::MSIHANDLE install);

// Puts back every value Install saved (or the product default where nothing
// was saved) and removes what Install created. Results as for Install.
win::UINT SKERROW_STDCALL Uninstall(win::MSIHANDLE install);

// Turns thread notifications off on process attach; nothing else.
win::BOOL SKERROW_STDCALL DllMain(win::HINSTANCE module, win::DWORD reason, void* reserved);

}  // extern "C"
