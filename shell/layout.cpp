#include "shell/layout.h"

#include <stdio.h>
#include <stdlib.h>

const MainControlSpec kMainControls[] = {
    {2120, CK_LISTBOX, 0, nullptr, 7, 31, 74, 50, GX_LEFT_WIDER, GY_DIRS_TALLER},
    {2130, CK_LISTBOX, 0, nullptr, 7, 83, 74, 70, GX_LEFT_WIDER, GY_FILES},
    {2220, CK_LISTBOX, 0, nullptr, 156, 31, 74, 50, GX_RIGHT_WIDER, GY_DIRS_TALLER},
    {2230, CK_LISTBOX, 0, nullptr, 156, 83, 74, 70, GX_RIGHT_WIDER, GY_FILES},
    {2140, CK_BUTTON, 51, nullptr, 84, 32, 47, 14, GX_LEFT_MOVE, GY_NONE},
    {2150, CK_BUTTON, 52, nullptr, 84, 46, 47, 14, GX_LEFT_MOVE, GY_NONE},
    {2160, CK_BUTTON, 53, nullptr, 84, 60, 47, 14, GX_LEFT_MOVE, GY_NONE},
    {2191, CK_EDIT, 0, "", 84, 83, 47, 14, GX_LEFT_MOVE, GY_FILES_MOVE},
    {2170, CK_BUTTON, 54, nullptr, 84, 106, 47, 14, GX_LEFT_MOVE, GY_FILES_MOVE},
    {2180, CK_BUTTON, 55, nullptr, 84, 120, 47, 14, GX_LEFT_MOVE, GY_FILES_MOVE},
    {2190, CK_BUTTON, 56, nullptr, 84, 134, 47, 14, GX_LEFT_MOVE, GY_FILES_MOVE},
    {2240, CK_BUTTON, 51, nullptr, 233, 32, 47, 14, GX_RIGHT_MOVE, GY_NONE},
    {2250, CK_BUTTON, 52, nullptr, 233, 46, 47, 14, GX_RIGHT_MOVE, GY_NONE},
    {2260, CK_BUTTON, 53, nullptr, 233, 60, 47, 14, GX_RIGHT_MOVE, GY_NONE},
    {2192, CK_EDIT, 0, "", 233, 83, 47, 14, GX_RIGHT_MOVE, GY_FILES_MOVE},
    {2270, CK_BUTTON, 54, nullptr, 233, 106, 47, 14, GX_RIGHT_MOVE, GY_FILES_MOVE},
    {2280, CK_BUTTON, 55, nullptr, 233, 120, 47, 14, GX_RIGHT_MOVE, GY_FILES_MOVE},
    {2290, CK_BUTTON, 56, nullptr, 233, 134, 47, 14, GX_RIGHT_MOVE, GY_FILES_MOVE},
    {2310, CK_BUTTON, 0, "-->", 136, 118, 14, 14, GX_LEFT_MOVE, GY_FILES_MOVE},
    {2320, CK_BUTTON, 0, "<--", 136, 101, 14, 14, GX_LEFT_MOVE, GY_FILES_MOVE},
    {2610, CK_BUTTON, 57, nullptr, 4, 188, 40, 10, GX_BUTTON_ROW, GY_LOG_MOVE},
    {2620, CK_BUTTON, 58, nullptr, 44, 188, 40, 10, GX_BUTTON_ROW, GY_LOG_MOVE},
    {2625, CK_BUTTON, 59, nullptr, 84, 188, 40, 10, GX_BUTTON_ROW, GY_LOG_MOVE},
    {2630, CK_BUTTON, 60, nullptr, 124, 188, 40, 10, GX_BUTTON_ROW, GY_LOG_MOVE},
    {2635, CK_BUTTON, 61, nullptr, 164, 188, 40, 10, GX_BUTTON_ROW, GY_LOG_MOVE},
    {2640, CK_BUTTON, 62, nullptr, 204, 188, 40, 10, GX_BUTTON_ROW, GY_LOG_MOVE},
    {2650, CK_BUTTON, 63, nullptr, 244, 188, 40, 10, GX_BUTTON_ROW, GY_LOG_MOVE},
    {2110, CK_TEXT_LEFTNW, 0, "", 9, 18, 120, 8, GX_LEFT_WIDER, GY_NONE},
    {2200, CK_TEXT_LEFTNW, 0, "", 158, 7, 120, 8, GX_RIGHT_WIDER, GY_NONE},
    {2210, CK_TEXT_LEFTNW, 0, "", 158, 18, 120, 8, GX_RIGHT_WIDER, GY_NONE},
    {2510, CK_TEXT_LEFT, 0, "", 10, 167, 238, 8, GX_WHOLE_WIDER, GY_LOG_MOVE},
    {2510, CK_TEXT_LEFT, 0, "", 10, 175, 238, 8, GX_WHOLE_WIDER, GY_LOG_MOVE},
    {2510, CK_TEXT_RIGHT, 0, "", 6, 155, 74, 8, GX_LEFT_WIDER, GY_LISTS_MOVE},
    {2510, CK_TEXT_RIGHT, 0, "", 196, 155, 70, 8, GX_RIGHT_WIDER, GY_LISTS_MOVE},
    {2410, CK_RADIO, 0, "ASCII", 84, 155, 36, 10, GX_LEFT_MOVE, GY_LISTS_MOVE},
    {2411, CK_RADIO, 64, nullptr, 122, 155, 42, 10, GX_LEFT_MOVE, GY_LISTS_MOVE},
    {2412, CK_RADIO, 0, "L 8", 166, 155, 28, 10, GX_LEFT_MOVE, GY_LISTS_MOVE},
    {7531, CK_SCROLLBAR, 0, nullptr, 268, 167, 10, 16, GX_RIGHT_MOVE, GY_LOG_TALLER},
    // Added to the layout of old: they take no room at the smallest size
    // that another control uses (the earlier status lines none at all).
    {2515, CK_TEXT_LEFTNW, 0, "", 10, 167, 238, 0, GX_WHOLE_WIDER, GY_LOG_TALLER},
    {2520, CK_PROGRESS, 0, nullptr, 138, 31, 10, 66, GX_LEFT_MOVE, GY_DIRS_TALLER},
};
const int kMainControlCount = sizeof kMainControls / sizeof kMainControls[0];

const MainFrameSpec kMainFrames[] = {
    {4, 2, 129, 149, true, GX_LEFT_WIDER, GY_LISTS_TALLER},
    {153, 2, 129, 149, true, GX_RIGHT_WIDER, GY_LISTS_TALLER},
    {7, 5, 123, 10, true, GX_LEFT_WIDER, GY_NONE},
    {156, 5, 123, 10, true, GX_RIGHT_WIDER, GY_NONE},
    {4, 154, 278, 31, true, GX_WHOLE_WIDER, GY_LOG_TALLER},
    {7, 166, 272, 18, false, GX_WHOLE_WIDER, GY_LOG_TALLER},
    {7, 17, 123, 10, false, GX_LEFT_WIDER, GY_NONE},
    {156, 17, 123, 10, false, GX_RIGHT_WIDER, GY_NONE},
};
const int kMainFrameCount = sizeof kMainFrames / sizeof kMainFrames[0];

PixelRect ControlPixels(const MainControlSpec& c, int baseX, int baseY)
{
    return {DluToPixelX(c.x, baseX), DluToPixelY(c.y, baseY),
            DluToPixelX(c.width, baseX), DluToPixelY(c.height, baseY)};
}

MainGrowth GrowthFor(int extraWidth, int extraHeight, int lineHeight)
{
    MainGrowth g = {};
    if (extraWidth > 0) {
        g.left = extraWidth / 2;
        g.right = extraWidth - g.left;
    }
    if (extraHeight > 0) {
        int lines = lineHeight > 0 ? extraHeight / 3 / lineHeight : 0;
        if (lines > MAIN_LOG_EXTRA_LINES)
            lines = MAIN_LOG_EXTRA_LINES;
        g.log = lines * lineHeight;
        int lists = extraHeight - g.log;
        g.dirs = lists * 50 / 120;  // as the heights of the lists of old
        g.files = lists - g.dirs;
    }
    return g;
}

namespace {

// The bottom row spans 280 units from x 4; each button keeps its share.
constexpr int kRowLeft = 4, kRowWidth = 280;

void Grow(int x, int width, GrowX gx, GrowY gy, const MainGrowth& g, PixelRect* r)
{
    const int whole = g.left + g.right, lists = g.dirs + g.files;
    switch (gx) {
    case GX_NONE: break;
    case GX_LEFT_WIDER: r->width += g.left; break;
    case GX_LEFT_MOVE: r->x += g.left; break;
    case GX_RIGHT_WIDER: r->x += g.left; r->width += g.right; break;
    case GX_RIGHT_MOVE: r->x += whole; break;
    case GX_WHOLE_WIDER: r->width += whole; break;
    case GX_BUTTON_ROW: {
        int from = whole * (x - kRowLeft) / kRowWidth;
        int to = whole * (x - kRowLeft + width) / kRowWidth;
        r->x += from;
        r->width += to - from;
        break;
    }
    }
    switch (gy) {
    case GY_NONE: break;
    case GY_DIRS_TALLER: r->height += g.dirs; break;
    case GY_FILES: r->y += g.dirs; r->height += g.files; break;
    case GY_FILES_MOVE: r->y += g.dirs; break;
    case GY_LISTS_TALLER: r->height += lists; break;
    case GY_LISTS_MOVE: r->y += lists; break;
    case GY_LOG_TALLER: r->y += lists; r->height += g.log; break;
    case GY_LOG_MOVE: r->y += lists + g.log; break;
    }
}

}  // namespace

PixelRect GrownPixels(const MainControlSpec& c, int baseX, int baseY, const MainGrowth& g)
{
    PixelRect r = ControlPixels(c, baseX, baseY);
    Grow(c.x, c.width, c.growX, c.growY, g, &r);
    return r;
}

PixelRect GrownFramePixels(const MainFrameSpec& f, int baseX, int baseY, const MainGrowth& g)
{
    PixelRect r = {DluToPixelX(f.x, baseX), DluToPixelY(f.y, baseY), DluToPixelX(f.width, baseX),
                   DluToPixelY(f.height, baseY)};
    Grow(f.x, f.width, f.growX, f.growY, g, &r);
    return r;
}

std::string FormatPlacement(const WindowPlaceRec& place)
{
    char text[80];
    snprintf(text, sizeof text, "%d,%d,%d,%d,%d", place.left, place.top, place.right, place.bottom,
             place.maximized ? 1 : 0);
    return text;
}

bool ParsePlacement(const char* text, WindowPlaceRec* place)
{
    if (!text)
        return false;
    long values[5];
    const char* p = text;
    for (int i = 0; i < 5; ++i) {
        char* end = nullptr;
        values[i] = strtol(p, &end, 10);
        // Numbers of a screen: far inside what an int holds.
        if (end == p || values[i] < -1000000 || values[i] > 1000000)
            return false;
        p = end;
        if (i < 4) {
            if (*p != ',')
                return false;
            ++p;
        }
    }
    if (*p || values[2] <= values[0] || values[3] <= values[1] || (values[4] != 0 && values[4] != 1))
        return false;
    *place = {static_cast<int>(values[0]), static_cast<int>(values[1]), static_cast<int>(values[2]),
              static_cast<int>(values[3]), values[4] == 1};
    return true;
}

WindowPlaceRec KeepInArea(const WindowPlaceRec& place, int areaLeft, int areaTop, int areaRight, int areaBottom,
                          int minWidth, int minHeight)
{
    WindowPlaceRec r = place;
    int width = r.right - r.left, height = r.bottom - r.top;
    int areaWidth = areaRight - areaLeft, areaHeight = areaBottom - areaTop;
    if (width > areaWidth)
        width = areaWidth > minWidth ? areaWidth : minWidth;
    if (height > areaHeight)
        height = areaHeight > minHeight ? areaHeight : minHeight;
    if (width < minWidth)
        width = minWidth;
    if (height < minHeight)
        height = minHeight;
    int left = r.left, top = r.top;
    if (left + width > areaRight)
        left = areaRight - width;
    if (top + height > areaBottom)
        top = areaBottom - height;
    if (left < areaLeft)
        left = areaLeft;
    if (top < areaTop)
        top = areaTop;
    r.left = left;
    r.top = top;
    r.right = left + width;
    r.bottom = top + height;
    return r;
}
