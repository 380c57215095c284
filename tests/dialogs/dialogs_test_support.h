// Shared by the dialog tests: the real main window, saved globals, and the
// dialog templates as the resource compiler wrote them.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

#include "store/options.h"
#include "tests/support/registry_guard.h"

// Creates the program's main window on the calling thread (it becomes the GUI
// thread) and closes it again the way the program does.
HWND OpenMainWindow();
void CloseMainWindow();

// Puts HostProfile and ProgramOptions back as they were and starts every test
// with an empty registry key.
struct ConfigState {
    RegistryGuard registry;
    HostProfileRec profile = HostProfile;
    ProgramOptionsRec options = ProgramOptions;
    ConfigState();
    ~ConfigState();
};

struct TemplateItem {
    int id;
    std::string cls;      // "Button", "Edit", ... or a class name
    std::string text;
    DWORD style;
    int x, y, cx, cy;
};

struct DialogTemplate {
    bool found = false;
    DWORD style = 0;
    int x = 0, y = 0, cx = 0, cy = 0;
    std::string caption, font;
    int pointSize = 0;
    std::vector<TemplateItem> items;
};

// The dialog resource of that name in that language (1033 or 1041), decoded;
// texts in UTF-8.
DialogTemplate LoadDialogTemplate(const char* name, LANGID language);
