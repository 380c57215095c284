// Registry store of host profiles and program options.
#pragma once
#include <windows.h>

void ProfileWrite(const char* folder, const char* name, const char* text);
int ProfileReadText(const char* folder, const char* name, const char* def, char* out, DWORD size);
DWORD ProfileReadNumber(const char* folder, const char* name, DWORD def);
void EnumProfiles(HWND dialog);
void SaveProfile(const char* folder);
void LoadOptions();
void SaveOptions();
const char* EncodePassword(const char* user, const char* password);
const char* DecodePassword(const char* user, const char* stored);
