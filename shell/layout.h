// Geometry of the main window's controls in dialog units, and the conversion
// to pixels. Pure data and arithmetic: no window is needed to use it.
#pragma once

enum ControlKind { CK_LISTBOX, CK_BUTTON, CK_EDIT, CK_RADIO, CK_TEXT_LEFTNW, CK_TEXT_LEFT, CK_TEXT_RIGHT, CK_SCROLLBAR };

struct MainControlSpec {
    int id;
    ControlKind kind;
    int captionId;          // catalogue entry, or 0
    const char* literal;    // literal caption when captionId is 0
    int x, y, width, height;
};

// In creation order. The four texts with ID 2510 are, in this order: upper
// status line, lower status line, bytes sent, bytes received.
extern const MainControlSpec kMainControls[];
extern const int kMainControlCount;

struct PixelRect { int x, y, width, height; };

// x pixels = x units * base-x / 4, y pixels = y units * base-y / 8.
constexpr int DluToPixelX(int units, int baseX) { return units * baseX / 4; }
constexpr int DluToPixelY(int units, int baseY) { return units * baseY / 8; }
PixelRect ControlPixels(const MainControlSpec& c, int baseX, int baseY);

// Size of the main window in dialog units.
enum { MAIN_X = 18, MAIN_Y = 18, MAIN_WIDTH = 287, MAIN_HEIGHT = 211 };
