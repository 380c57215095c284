#include "shell/layout.h"

const MainControlSpec kMainControls[] = {
    {2120, CK_LISTBOX, 0, nullptr, 7, 31, 74, 50},
    {2130, CK_LISTBOX, 0, nullptr, 7, 83, 74, 70},
    {2220, CK_LISTBOX, 0, nullptr, 156, 31, 74, 50},
    {2230, CK_LISTBOX, 0, nullptr, 156, 83, 74, 70},
    {2140, CK_BUTTON, 51, nullptr, 84, 32, 47, 14},
    {2150, CK_BUTTON, 52, nullptr, 84, 46, 47, 14},
    {2160, CK_BUTTON, 53, nullptr, 84, 60, 47, 14},
    {2191, CK_EDIT, 0, "", 84, 83, 47, 14},
    {2170, CK_BUTTON, 54, nullptr, 84, 106, 47, 14},
    {2180, CK_BUTTON, 55, nullptr, 84, 120, 47, 14},
    {2190, CK_BUTTON, 56, nullptr, 84, 134, 47, 14},
    {2240, CK_BUTTON, 51, nullptr, 233, 32, 47, 14},
    {2250, CK_BUTTON, 52, nullptr, 233, 46, 47, 14},
    {2260, CK_BUTTON, 53, nullptr, 233, 60, 47, 14},
    {2192, CK_EDIT, 0, "", 233, 83, 47, 14},
    {2270, CK_BUTTON, 54, nullptr, 233, 106, 47, 14},
    {2280, CK_BUTTON, 55, nullptr, 233, 120, 47, 14},
    {2290, CK_BUTTON, 56, nullptr, 233, 134, 47, 14},
    {2310, CK_BUTTON, 0, "-->", 136, 118, 14, 14},
    {2320, CK_BUTTON, 0, "<--", 136, 101, 14, 14},
    {2610, CK_BUTTON, 57, nullptr, 4, 188, 40, 10},
    {2620, CK_BUTTON, 58, nullptr, 44, 188, 40, 10},
    {2625, CK_BUTTON, 59, nullptr, 84, 188, 40, 10},
    {2630, CK_BUTTON, 60, nullptr, 124, 188, 40, 10},
    {2635, CK_BUTTON, 61, nullptr, 164, 188, 40, 10},
    {2640, CK_BUTTON, 62, nullptr, 204, 188, 40, 10},
    {2650, CK_BUTTON, 63, nullptr, 244, 188, 40, 10},
    {2110, CK_TEXT_LEFTNW, 0, "", 9, 18, 120, 8},
    {2200, CK_TEXT_LEFTNW, 0, "", 158, 7, 120, 8},
    {2210, CK_TEXT_LEFTNW, 0, "", 158, 18, 120, 8},
    {2510, CK_TEXT_LEFT, 0, "", 10, 167, 238, 8},
    {2510, CK_TEXT_LEFT, 0, "", 10, 175, 238, 8},
    {2510, CK_TEXT_RIGHT, 0, "", 6, 155, 74, 8},
    {2510, CK_TEXT_RIGHT, 0, "", 196, 155, 70, 8},
    {2410, CK_RADIO, 0, "ASCII", 84, 155, 36, 10},
    {2411, CK_RADIO, 64, nullptr, 122, 155, 42, 10},
    {2412, CK_RADIO, 0, "L 8", 166, 155, 28, 10},
    {7531, CK_SCROLLBAR, 0, nullptr, 268, 167, 10, 16},
};
const int kMainControlCount = sizeof kMainControls / sizeof kMainControls[0];

PixelRect ControlPixels(const MainControlSpec& c, int baseX, int baseY)
{
    return {DluToPixelX(c.x, baseX), DluToPixelY(c.y, baseY),
            DluToPixelX(c.width, baseX), DluToPixelY(c.height, baseY)};
}
