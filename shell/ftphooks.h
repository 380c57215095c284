// The shell's side of the connection code's hooks (ftp/hooks.h).
#pragma once

// Fills FtpHooks with the watchdog, the worker's safe point, the byte count,
// the password and account prompts and the main window's Connect and
// Disconnect buttons and title. At start-up, before the first connect.
void InstallFtpHooks();
