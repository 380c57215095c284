// Geometry of the main window's controls in dialog units, the conversion to
// pixels, and how the controls follow a window larger than the smallest.
// Pure data and arithmetic: no window is needed to use it.
#pragma once
#include <string>

enum ControlKind { CK_LISTBOX, CK_BUTTON, CK_EDIT, CK_RADIO, CK_TEXT_LEFTNW, CK_TEXT_LEFT, CK_TEXT_RIGHT, CK_SCROLLBAR,
                   CK_PROGRESS };

// How a control follows the extra size of the window. Horizontally the
// local side takes the left half of the extra width and the remote side the
// rest; vertically the lists take what the status log does not, the
// directory lists and the file lists sharing it as their heights do (50 to 70).
enum GrowX {
    GX_NONE,
    GX_LEFT_WIDER,      // a local list or field: wider by the left share
    GX_LEFT_MOVE,       // beside the local lists: moved by the left share
    GX_RIGHT_WIDER,     // a remote list or field: moved by the left share, wider by the right share
    GX_RIGHT_MOVE,      // right of the remote lists: moved by the whole extra width
    GX_WHOLE_WIDER,     // the status log: wider by the whole extra width
    GX_BUTTON_ROW,      // the bottom row: its buttons share the extra width
};
enum GrowY {
    GY_NONE,
    GY_DIRS_TALLER,     // the directory lists (and the progress bar beside them)
    GY_FILES,           // the file lists: moved by the directory lists' share, taller by theirs
    GY_FILES_MOVE,      // beside the file lists: moved by the directory lists' share
    GY_LISTS_TALLER,    // the frames around the lists: taller by the lists' extra height
    GY_LISTS_MOVE,      // the row below the lists: moved by the lists' extra height
    GY_LOG_TALLER,      // the earlier status lines and the scroll bar: below the lists, taller by the log's share
    GY_LOG_MOVE,        // the two status lines and the bottom row: moved by all the extra height
};

struct MainControlSpec {
    int id;
    ControlKind kind;
    int captionId;          // catalogue entry, or 0
    const char* literal;    // literal caption when captionId is 0
    int x, y, width, height;
    GrowX growX;
    GrowY growY;
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

// Size of the main window in dialog units: the window of the smallest
// layout, with the frame of a window that cannot be resized.
enum { MAIN_X = 18, MAIN_Y = 18, MAIN_WIDTH = 287, MAIN_HEIGHT = 211 };

// The sunken and raised frames that the main window paints around its parts.
struct MainFrameSpec {
    int x, y, width, height;
    bool sunken;
    GrowX growX;
    GrowY growY;
};
extern const MainFrameSpec kMainFrames[];
extern const int kMainFrameCount;

// The extra pixels of a client area beyond the smallest, and how they are
// shared out.
struct MainGrowth {
    int left, right;   // the extra width of the local and of the remote side
    int dirs, files;   // the extra height of the directory lists and of the file lists
    int log;           // the extra height of the status log: whole lines only
};
// The status log takes a third of the extra height, in whole lines of
// `lineHeight` pixels and at most MAIN_LOG_EXTRA_LINES of them; the lists the rest.
enum { MAIN_LOG_EXTRA_LINES = 20 };
MainGrowth GrowthFor(int extraWidth, int extraHeight, int lineHeight);
// A control's or frame's place in a client area grown by `g`; with nothing
// extra exactly ControlPixels.
PixelRect GrownPixels(const MainControlSpec& c, int baseX, int baseY, const MainGrowth& g);
PixelRect GrownFramePixels(const MainFrameSpec& f, int baseX, int baseY, const MainGrowth& g);

// The window's placement kept between starts: its normal rectangle (as
// GetWindowPlacement names it) and whether it was maximized. Stored as the
// text "left,top,right,bottom,maximized".
struct WindowPlaceRec {
    int left, top, right, bottom;
    bool maximized;
};
std::string FormatPlacement(const WindowPlaceRec& place);
// False for a text that is not five numbers of a rectangle at least 1 pixel
// wide and high; `place` is then unchanged.
bool ParsePlacement(const char* text, WindowPlaceRec* place);
// The rectangle moved and, where it is larger, shrunk (not below minWidth by
// minHeight) so that it lies within `area`, the work area of the monitor
// nearest to it: a window of a monitor that is gone comes back into sight.
WindowPlaceRec KeepInArea(const WindowPlaceRec& place, int areaLeft, int areaTop, int areaRight, int areaBottom,
                          int minWidth, int minHeight);
