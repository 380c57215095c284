// The shell's side of the connection code's hooks (ftp/hooks.h).
#pragma once

// Fills FtpHooks with the watchdog, the worker's safe point, the byte count,
// the password and account prompts, the GUI thread's messages during its
// socket waits and the main window's Connect and Disconnect buttons and
// title. Making the main window installs them.
void InstallFtpHooks();
