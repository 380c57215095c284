// GUI entry point of tarn.exe.
#include <windows.h>

#include "shell/startup.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR commandLine, int show)
{
    return TarnMain(instance, previous, commandLine, show);
}
