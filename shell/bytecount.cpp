// The byte counters: the transfer thread stores, the GUI thread shows.
#include "shell/bytecount.h"

#include "shell/app.h"
#include "shell/mainwin.h"

namespace {

constexpr DWORD kDisplayIntervalMs = 100;

volatile LONG g_field = -1;       // ByteField of the running transfer, -1 when none
volatile LONG g_total;            // newest running total
volatile LONG g_posted;           // 1 while a display request waits in the queue
DWORD g_lastShown;                // tick of the last display request (transfer thread)
bool g_stepped;                   // a block has been counted since ByteCountBegin

HWND FieldWindow(LONG field)
{
    if (field == BYTES_SENT)
        return g_hwndSentBytes;
    if (field == BYTES_RECEIVED)
        return g_hwndRecvBytes;
    return nullptr;
}

void ShowTotal(HWND window)
{
    char text[16];
    wsprintfA(text, "%lu", static_cast<unsigned long>(static_cast<DWORD>(g_total)));
    SetWindowTextA(window, text);
}

}  // namespace

void ByteCountBegin(ByteField field)
{
    InterlockedExchange(&g_total, 0);
    InterlockedExchange(&g_field, field);
    g_stepped = false;
    g_lastShown = GetTickCount() - kDisplayIntervalMs;
}

void ByteCountStep(DWORD total)
{
    InterlockedExchange(&g_total, static_cast<LONG>(total));
    g_stepped = true;
    DWORD now = GetTickCount();
    if (now - g_lastShown < kDisplayIntervalMs)
        return;
    g_lastShown = now;
    HWND main = g_hwndMain;
    if (!main)
        return;
    if (OnGuiThread()) {
        if (HWND w = FieldWindow(g_field))
            ShowTotal(w);
    } else if (InterlockedExchange(&g_posted, 1) == 0) {
        if (!PostMessageA(main, WM_TARN_BYTE_COUNT, 0, 0))
            InterlockedExchange(&g_posted, 0);
    }
}

void ByteCountEnd()
{
    HWND main = g_hwndMain;
    if (g_stepped && main) {
        if (OnGuiThread())
            OnByteCountMessage(1);
        else
            SendMessageA(main, WM_TARN_BYTE_COUNT, 1, 0);
    }
    // A display request still queued now finds no transfer and shows nothing.
    InterlockedExchange(&g_field, -1);
    g_stepped = false;
}

void OnByteCountMessage(WPARAM final)
{
    if (!final)
        InterlockedExchange(&g_posted, 0);
    HWND w = FieldWindow(g_field);
    if (!w)
        return;
    ShowTotal(w);
    if (final)
        SetWindowTextA(w, "");
}
