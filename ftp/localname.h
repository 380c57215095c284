// Local file names for received remote files.
#pragma once

// The local name for a remote file name, written into local and fallback
// (256 bytes each; the caller keeps fallback unchanged as the name to try when
// local cannot be created). Cuts a version suffix (";3": the first ";"
// and only digits after it), replaces tabs by "~", keeps long names within
// 252 characters, and with Receive Unique numbers the name when a file of
// that name exists. Always returns 1.
int MakeLocalName(const char* remote, char* local, char* fallback);

// The same for a name the server gave us (a listed entry): such a name may not
// leave the local current directory nor open a device. Separators and drive
// colons become "_", reserved device names get a leading "_" (both logged);
// "." and ".." and names that end up empty are refused (logged); blanks and
// dots at the end go, as Windows would drop them (logged). Returns 1 with
// the names set, or 0 when refused. plain, when given (256 bytes), receives
// the name before Receive Unique numbered it: the file that an interrupted
// receive left.
int MakeSafeLocalName(const char* remote, char* local, char* fallback, char* plain = nullptr);

// The last component of a remote path typed by the user: the part after the
// last "/", and on VMS hosts also after the last "]" (a pointer into path).
const char* RemotePathLastComponent(const char* path, bool vms);

// Pure parts, on wide text, for the tests.
#include <string>
// Steps 1-4: tabs, version suffix, length; base and extension separately.
void SplitLocalName(const std::wstring& remote, std::wstring* base, std::wstring* ext);
// What makes a server's name safe as a local name in the current directory:
// 0 unchanged, 1 changed (name rewritten), -1 refused.
int SafeLocalName(std::wstring* name);
// The name Windows keeps for a file: it drops blanks and dots at the end of
// a name ("trail. " is stored as "trail"), while blanks at the start stay.
// True, with the name cut to what Windows keeps, when that differs; a name
// of blanks and dots alone becomes empty. The server's own name is still
// what every command sends.
bool KeptLocalName(std::wstring* name);

// Names that the code page cannot write: the file is received under a name
// of the code page and then given its true name by the wide-character file
// calls, which are loaded at run time (none of them is imported). False when
// this Windows has none of them.
bool WideFileCallsPresent();
// The true local name for a remote name in wide form: every rule of
// MakeSafeLocalName (version suffix, length, separators, devices, the unique
// suffixes under Receive Unique). shown names the file in messages. Returns
// 1 with *local set, or 0 when refused (logged).
int MakeWideLocalName(const std::wstring& remote, const char* shown, std::wstring* local);
// Gives the received file `received` (in the current directory) the name
// local, replacing a file of that name. False when it could not (the file
// stays under `received`).
bool GiveWideName(const char* received, const std::wstring& local);
