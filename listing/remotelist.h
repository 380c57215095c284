// The remote half of the main window: the listing frame and its lists.
#pragma once
#include <windows.h>

// The remote current directory as the last PWD of a listing named it (at most
// 180 bytes; "undecipherable" when the reply named none; empty when not
// logged on).
extern char RemoteCurrentDir[181];

// Refreshes the remote side: current directory, detection once per logon,
// LIST into ListingTempFile, and the two lists filled by the line rule of the
// current HostType. Always returns 0.
int DoDirList(HWND window);
// Text of the remote mask edit, at most 119 characters; returns its length.
int GetRemoteMask(char out[120]);
// Adds a name to the remote directory list or file list and widens that
// list's horizontal extent for it (SetListExtent). During a listing the names
// go to the list in batches, before DoDirList returns.
void AddRemoteDir(const char* name);
void AddRemoteFile(const char* name);
// Reads a listing file (511-byte pieces up to a line feed, a carriage return
// before a line feed dropped) and hands each line to the rule of the current
// HostType, which adds the names to the remote lists (in batches: the lists
// are complete when it returns). Returns 0, or -1 after logging entry 25 when
// the file cannot be opened.
int ParseListingFile(const char* path);
// Forgets the batches of a listing whose worker was stopped half-way.
void ForgetListingFill();
// The listing command for a mask: "LIST", or "LIST " and the mask.
void ListCommand(const char* mask, char out[128]);
