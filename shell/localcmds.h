// The local pane's commands, run on the GUI thread.
#pragma once
#include <windows.h>

void LocalChangeDirectory();
void LocalCreateDirectory();
void LocalRemoveDirectories();
void LocalViewFile();
void LocalRenameFiles();
void LocalDeleteFiles();
// Logs entry 157 with the system's text for a failed call's error code,
// taken at once after the call: logging the failure line before this one
// overwrites the thread's last error.
void LogSystemReason(DWORD code);
// Yes/No box before a deletion; true for Yes.
bool ConfirmDelete(const char* name);
// Starts the viewer on a file: "viewer file", with "." appended when the
// file name has none. Returns the program's start result (>= 32 on success).
UINT RunViewer(const char* viewer, const char* file, bool dotWhenNoExtension);
