// Registry store of host profiles and program options, under
// HKEY_CURRENT_USER "Software\Varnholt\tarn": one subkey per profile (folder)
// and "_config_" for the options. Every value is REG_SZ text.
#pragma once
#include <windows.h>

#include "config/password.h"

#define TARN_REGISTRY_KEY "Software\\Varnholt\\tarn"
#define TARN_OPTIONS_FOLDER "_config_"

// name and text: set the value; name only: delete the value; neither: delete
// the folder's key. Failures are shown in message boxes.
void ProfileWrite(const char* folder, const char* name, const char* text);
// Copies the value (it must fit in size bytes with its zero) and returns 1;
// otherwise copies def and returns 0.
int ProfileReadText(const char* folder, const char* name, const char* def, char* out, DWORD size);
// The value read as decimal text, or def.
DWORD ProfileReadNumber(const char* folder, const char* name, DWORD def);
// Adds every folder name to combo box 105 of the dialog.
void EnumProfiles(HWND dialog);
void SaveProfile(const char* folder);
void LoadOptions();
void SaveOptions();
