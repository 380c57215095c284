// The byte counters: the transfer thread stores, the GUI thread shows.
#include "shell/bytecount.h"

#include "ftp/session.h"
#include "shell/app.h"
#include "shell/mainwin.h"

namespace {

volatile LONG g_field = -1;   // ByteField of the running transfer, -1 when none
volatile LONG g_total;        // newest running total
volatile LONG g_stepped;      // a block has been counted since ByteCountBegin
DWORD g_lastShownTick;        // transfers on the GUI thread: when it last showed
LONG g_shownTotal = -1;       // GUI thread: the total the field shows, -1 none

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
    LONG total = g_total;
    char text[16];
    wsprintfA(text, "%lu", static_cast<unsigned long>(static_cast<DWORD>(total)));
    SetWindowTextA(window, text);
    g_shownTotal = total;
}

void CALLBACK ByteCountTimerProc(HWND hwnd, UINT, UINT_PTR, DWORD)
{
    HWND w = FieldWindow(g_field);
    if (!w) {
        KillTimer(hwnd, BYTECOUNT_TIMER_ID);
        return;
    }
    // A data loop holds the command count while it runs; with the count at
    // 0 the transfer was stopped (abort, disconnect) before it could end
    // itself, and the field goes back to empty.
    if (FtpSession.commandCount == 0) {
        KillTimer(hwnd, BYTECOUNT_TIMER_ID);
        SetWindowTextA(w, "");
        g_shownTotal = -1;
        return;
    }
    if (g_stepped && g_total != g_shownTotal)
        ShowTotal(w);
}

}  // namespace

void ByteCountBegin(ByteField field)
{
    InterlockedExchange(&g_total, 0);
    InterlockedExchange(&g_stepped, 0);
    InterlockedExchange(&g_field, field);
    HWND main = g_hwndMain;
    if (!main)
        return;
    if (OnGuiThread()) {
        g_lastShownTick = GetTickCount() - BYTECOUNT_INTERVAL_MS;
        OnByteCountMessage(main, 0);
    } else {
        PostMessageA(main, WM_TARN_BYTE_COUNT, 0, 0);
    }
}

void ByteCountStep(DWORD total)
{
    InterlockedExchange(&g_total, static_cast<LONG>(total));
    g_stepped = 1;
    // A transfer on the GUI thread dispatches the timer only while it waits
    // for the network, so it shows the total itself, at display rate.
    if (g_guiThreadId && OnGuiThread()) {
        DWORD now = GetTickCount();
        if (now - g_lastShownTick >= BYTECOUNT_INTERVAL_MS) {
            g_lastShownTick = now;
            if (HWND w = FieldWindow(g_field))
                ShowTotal(w);
        }
    }
}

void ByteCountEnd()
{
    HWND main = g_hwndMain;
    if (main) {
        if (OnGuiThread())
            OnByteCountMessage(main, 1);
        else
            SendMessageA(main, WM_TARN_BYTE_COUNT, 1, 0);
    }
    // A timer still running now finds no transfer and stops itself.
    InterlockedExchange(&g_field, -1);
    InterlockedExchange(&g_stepped, 0);
}

void ByteCountAbandon()
{
    LONG field = InterlockedExchange(&g_field, -1);
    InterlockedExchange(&g_stepped, 0);
    if (g_hwndMain)
        KillTimer(g_hwndMain, BYTECOUNT_TIMER_ID);
    if (HWND w = FieldWindow(field))
        SetWindowTextA(w, "");
    g_shownTotal = -1;
}

void OnByteCountMessage(HWND main, WPARAM final)
{
    if (!final) {
        g_shownTotal = -1;
        SetTimer(main, BYTECOUNT_TIMER_ID, BYTECOUNT_INTERVAL_MS, ByteCountTimerProc);
        return;
    }
    KillTimer(main, BYTECOUNT_TIMER_ID);
    HWND w = FieldWindow(g_field);
    if (!w || !g_stepped)
        return;
    ShowTotal(w);
    SetWindowTextA(w, "");
    g_shownTotal = -1;
}
