// The main window's controls: creation, painting, colours and the small
// operations that other parts call on them.
#pragma once
#include <windows.h>

// The four texts that share ID 2510, addressed by handle.
extern HWND g_hwndStatusUpper, g_hwndStatusLower, g_hwndSentBytes, g_hwndRecvBytes;
// The earlier status lines (above the upper one) and the progress bar (0
// where the common controls are missing).
extern HWND g_hwndStatusEarlier, g_hwndProgress;

void CreateMainControls(HWND main, HINSTANCE instance);
void PaintMainWindow(HWND main);
void DrawFrame(HDC dc, int x, int y, int width, int height, bool sunken);
void DrawFramePixels(HDC dc, int x, int y, int width, int height, bool sunken);
// The smallest client area (the layout of the controls' table as it is) and
// the window of `style` around it.
void MainMinimumClient(int* width, int* height);
void MainMinimumWindow(DWORD style, int* width, int* height);
// Places the controls for the main window's client area (WM_SIZE).
void LayoutMainControls(HWND main);
// Widens the list's horizontal extent for text when it is wider than the
// list's client area and than every text before it (widest is in pixels).
void SetListExtent(HWND list, const char* text, int* widest);
// A list box being filled by a listing, many names at a time (AddListNames).
struct ListFillRec {
    HWND list;
    int* widest;   // the listing's widest-entry width of this list
    bool quiet;    // redraw is off until EndListFill
};
// Adds `count` names (consecutive texts, each ending with a NUL) to the list
// in order, each followed by the extent rule of SetListExtent: the list and its
// extent end exactly as after adding the names one at a time. Runs on the GUI
// thread.
// With `wires` (as many texts as names), each name's item keeps its text
// there: the server's bytes of a name shown converted (ListItemWire).
void AddListNames(ListFillRec* fill, const char* names, int count, int bytes, const char* wires = nullptr);
// Ends a fill: redraw on again and the list repainted.
void EndListFill(ListFillRec* fill);
// Runs function(argument) on the GUI thread, directly when called there, and
// returns its result: one synchronous call for a worker, however much it does.
LRESULT CallOnGuiThread(LRESULT (*function)(void*), void* argument);
#define WM_TARN_CALL (WM_APP + 20)
// Posted when the server ended the control connection of the session.
#define WM_TARN_CONNECTION_LOST (WM_APP + 21)
// The close of the control connection by the server (WSAAsyncSelect, FD_CLOSE).
#define WM_TARN_CONTROL_CLOSED (WM_APP + 22)
void HideFileLists();
// Turns redraw on again for the four lists, as a fill that was stopped
// half-way (its worker terminated) could not.
void RedrawAllLists();
void ShowFileLists();
// Colours and fonts of the children; returns the brush, or 0 when unhandled.
HBRUSH MainControlColour(UINT message, HDC dc);
// The logical font of static texts and buttons for the user's language.
void SetLanguageFont(const LOGFONTA& font);
const LOGFONTA& LanguageLogFont();
void DeleteLanguageFont();
// A child control of the main window by ID.
HWND MainControl(int id);

#include <string>
#include <vector>
// At most this many selected items are taken from a list.
enum { MAX_SELECTED = 256 };
// Selected indexes of a main-window list (at most 256); false when the list
// reports an error.
bool ListSelection(int listId, std::vector<int>* items);
// Text of an item of a main-window list into out (size bytes). An item that
// does not fit gives false and an empty text, or with `shortened` its start
// followed by "..." (for messages only: it names no file).
bool ListItemText(int listId, int index, char* out, int size, bool shortened = false);
// The server's bytes of an item of a remote list, as every command naming it
// sends them: those kept when the listing added it, else its text (a name
// typed or sent from here, in the code page) as the session sends names.
// False when the list has no such item.
bool ListItemWire(int listId, int index, std::string* wire);
// Forgets the bytes kept for a list's items; its contents are being reset.
void ForgetItemWires(HWND list);
// The main window's handler of the request ListItemText sends from a worker.
#define WM_TARN_LIST_TEXT (WM_APP + 3)
LRESULT OnListTextRequest(LPARAM lParam);
// While a command is under way the app-starting cursor shows over the main
// window and the debug window: sets it and gives true then (their window
// procedures answer WM_SETCURSOR with 1), false otherwise.
bool ShowBusyCursor();
// Enables or disables a control of the main window.
void EnableControl(int id, bool enabled);
