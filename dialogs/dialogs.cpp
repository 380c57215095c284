#include "dialogs/dialogs.h"

#include <winsock.h>
#include <stdarg.h>
#include <string.h>

#include "store/options.h"
#include "ftp/session.h"
#include "log/log.h"
#include "log/process.h"
#include "resources/catalogue.h"
#include "resources/resource.h"
#include "version.h"

DialogContextRec DialogContext;
char InputPrompt[INPUT_PROMPT_SIZE];
char InputText[INPUT_TEXT_SIZE];

int CopyTextCut(char* out, const char* src, int maxBytes)
{
    int n = 0;
    while (src[n] && n < maxBytes) {
        int step = IsDBCSLeadByte(static_cast<BYTE>(src[n])) && src[n + 1] ? 2 : 1;
        if (n + step > maxBytes)
            break;
        n += step;
    }
    memcpy(out, src, n);
    out[n] = 0;
    return n;
}

int GetDialogText(HWND dialog, int id, char* out, int maxBytes)
{
    char text[1024];
    GetDlgItemTextA(dialog, id, text, sizeof text);
    return CopyTextCut(out, text, maxBytes);
}

HBRUSH DialogControlColour(UINT message, HDC dc)
{
    switch (message) {
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORSTATIC:
        SetBkColor(dc, RGB(192, 192, 192));
        // Before the main window exists (its brushes are made there) the
        // stock light grey is the same colour.
        return DialogContext.lightGrey ? DialogContext.lightGrey : static_cast<HBRUSH>(GetStockObject(LTGRAY_BRUSH));
    default:
        return nullptr;
    }
}

INT_PTR DialogCommonMessage(HWND dialog, UINT message, WPARAM wParam)
{
    switch (message) {
    case WM_COMMAND:
        if (LOWORD(wParam) != IDCANCEL)
            break;
        EndDialog(dialog, 0);
        return TRUE;
    case WM_CLOSE:
        EndDialog(dialog, 0);
        return TRUE;
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORSTATIC:
        return reinterpret_cast<INT_PTR>(DialogControlColour(message, reinterpret_cast<HDC>(wParam)));
    }
    return FALSE;
}

void ShowStoreFailures(const StoreFailures& failures)
{
    for (const StoreFailureRec& f : failures) {
        char text[512];
        if (f.insert.empty())
            LoadCatalogue(f.id, text, sizeof text);
        else if (FormatCatalogue(text, sizeof text, f.id, f.insert.c_str()) < 0)
            lstrcpynA(text, f.insert.c_str(), sizeof text);
        MessageBoxA(GetActiveWindow(), text, "TARN", MB_OK);
    }
}

void CentreDialog(HWND dialog, int offset)
{
    RECT r;
    GetWindowRect(dialog, &r);
    int w = r.right - r.left, h = r.bottom - r.top;
    int x = 0, y = 0;
    HWND main = DialogContext.owner;
    if (!main || !IsWindow(main)) {
        x = (GetSystemMetrics(SM_CXSCREEN) - w) / 2;
        y = (GetSystemMetrics(SM_CYSCREEN) - h) / 2 + offset;
    } else if (!IsIconic(main)) {
        RECT c;
        GetClientRect(main, &c);
        POINT centre = {(c.right - c.left) / 2, (c.bottom - c.top) / 2};
        ClientToScreen(main, &centre);
        x = centre.x - w / 2;
        y = centre.y - h / 2 + offset;
    }
    if (x < 0)
        x = 0;
    if (y < 0)
        y = 0;
    MoveWindow(dialog, x, y, w, h, FALSE);
}

static int RunInputDialog(const char* resource, char* buffer, UINT titleId, UINT promptId, va_list args)
{
    // Prompts are cut to the shared buffer; the entry itself may be longer.
    char prompt[511];
    if (FormatCatalogueV(prompt, sizeof prompt, promptId, args) < 0)
        prompt[0] = 0;
    CopyTextCut(InputPrompt, prompt, INPUT_PROMPT_SIZE - 1);
    CopyTextCut(InputText, buffer ? buffer : "", INPUT_TEXT_SIZE - 1);
    HWND owner = DialogContext.owner && IsWindow(DialogContext.owner) ? DialogContext.owner : nullptr;
    INT_PTR rc = DialogBoxParamA(g_hInstance, resource, owner, WS_InputMsgProc, titleId);
    if (rc != 1)
        return 0;
    if (buffer)
        lstrcpyA(buffer, InputText);
    return 1;
}

int AskText(char* buffer, UINT titleId, UINT promptId, ...)
{
    va_list args;
    va_start(args, promptId);
    int rc = RunInputDialog("DLG_INPUT", buffer, titleId, promptId, args);
    va_end(args);
    return rc;
}

int InputPassword(char* buffer, UINT promptId, ...)
{
    va_list args;
    va_start(args, promptId);
    int rc = RunInputDialog("DLG_INPUT_PASSWORD", buffer, CAPTION_CONNECT_TO_HOST, promptId, args);
    va_end(args);
    return rc;
}

INT_PTR CALLBACK WS_InputMsgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG: {
        char title[511];
        LoadCatalogue(static_cast<UINT>(lParam), title, sizeof title);
        SetWindowTextA(dialog, title);
        SetDlgItemTextA(dialog, IDC_INPUT_PROMPT, InputPrompt);
        SendDlgItemMessageA(dialog, IDC_INPUT_TEXT, EM_LIMITTEXT, INPUT_TEXT_SIZE - 1, 0);
        SetDlgItemTextA(dialog, IDC_INPUT_TEXT, InputText);
        CentreDialog(dialog, 0);
        return TRUE;
    }
    case WM_GETDLGCODE:
        SetWindowLongPtrA(dialog, DWLP_MSGRESULT, DLGC_WANTALLKEYS);
        return TRUE;
    case WM_KEYDOWN:
        LogLine(MSG_KEY_DOWN);
        return TRUE;
    case WM_CHAR:
        LogLine(MSG_WMCHAR_KEY_DOWN);
        return TRUE;
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IDOK:
            GetDialogText(dialog, IDC_INPUT_TEXT, InputText, INPUT_TEXT_SIZE - 1);
            EndDialog(dialog, 1);
            return TRUE;
        }
        break;
    }
    return DialogCommonMessage(dialog, message, wParam);
}

static constexpr struct {
    int id;
    LONG ProgramOptionsRec::*flag;
} kOptionBoxes[] = {
    {IDC_OPT_VERBOSE, &ProgramOptionsRec::verbose},       {IDC_OPT_BELL, &ProgramOptionsRec::bell},
    {IDC_OPT_PROMPT, &ProgramOptionsRec::prompt},         {IDC_OPT_RECVUNIQUE, &ProgramOptionsRec::receiveUnique},
    {IDC_OPT_SENDUNIQUE, &ProgramOptionsRec::sendUnique},
};

enum { VIEWER_INPUT_MAX = 69, MAIL_INPUT_MAX = 126 };

static void OptionsInit(HWND dialog)
{
    const ProgramOptionsRec& o = ProgramOptions;
    SendDlgItemMessageA(dialog, IDC_OPT_VIEWER, EM_LIMITTEXT, VIEWER_INPUT_MAX, 0);
    SendDlgItemMessageA(dialog, IDC_OPT_MAIL, EM_LIMITTEXT, MAIL_INPUT_MAX, 0);
    SetDlgItemTextA(dialog, IDC_OPT_VIEWER, o.viewer);
    SetDlgItemTextA(dialog, IDC_OPT_MAIL, o.mailAddr);
    int radio = o.transferType == 'A' ? IDC_MODE_ASCII : o.transferType == 'I' ? IDC_MODE_BINARY : IDC_MODE_L8;
    CheckRadioButton(dialog, IDC_MODE_ASCII, IDC_MODE_L8, radio);
    for (const auto& b : kOptionBoxes)
        CheckDlgButton(dialog, b.id, o.*b.flag ? BST_CHECKED : BST_UNCHECKED);
    CheckDlgButton(dialog, IDC_OPT_AUTOCONNECT, o.autoConnect ? BST_CHECKED : BST_UNCHECKED);
}

static void OptionsSet(HWND dialog)
{
    ProgramOptionsRec& o = ProgramOptions;
    o.transferType = IsDlgButtonChecked(dialog, IDC_MODE_ASCII) == BST_CHECKED    ? 'A'
                     : IsDlgButtonChecked(dialog, IDC_MODE_BINARY) == BST_CHECKED ? 'I'
                                                                                  : 'L';
    for (const auto& b : kOptionBoxes)
        o.*b.flag = IsDlgButtonChecked(dialog, b.id) == BST_CHECKED ? 1 : 0;
    o.autoConnect = IsDlgButtonChecked(dialog, IDC_OPT_AUTOCONNECT) == BST_CHECKED ? 1 : 0;
    GetDialogText(dialog, IDC_OPT_VIEWER, o.viewer, VIEWER_INPUT_MAX);
    GetDialogText(dialog, IDC_OPT_MAIL, o.mailAddr, MAIL_INPUT_MAX);
}

INT_PTR CALLBACK WS_StatMsgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM)
{
    switch (message) {
    case WM_INITDIALOG:
        OptionsInit(dialog);
        return TRUE;
    case WM_SETCURSOR:
        if (FtpSession.commandCount != 0 && DialogContext.busyCursor) {
            SetCursor(DialogContext.busyCursor);
            SetWindowLongPtrA(dialog, DWLP_MSGRESULT, TRUE);
            return TRUE;
        }
        break;
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IDOK:
            OptionsSet(dialog);
            EndDialog(dialog, 1);
            return TRUE;
        }
        break;
    }
    return DialogCommonMessage(dialog, message, wParam);
}

static void AboutInit(HWND dialog)
{
    CentreDialog(dialog, 0);
    char name[256];
    if (gethostname(name, sizeof name) == 0) {
        name[sizeof name - 1] = 0;
        char line[300];
        hostent* host = gethostbyname(name);
        if (host && host->h_addr_list && host->h_addr_list[0]) {
            in_addr a;
            memcpy(&a, host->h_addr_list[0], sizeof a);
            wsprintfA(line, "%.255s [%s]", name, inet_ntoa(a));
        } else
            lstrcpynA(line, name, sizeof line);
        SetDlgItemTextA(dialog, IDC_ABOUT_HOST, line);
    }
    SetDlgItemTextA(dialog, IDC_ABOUT_WINSOCK, g_wsaData.szDescription);
    char version[64];
    if (FormatCatalogue(version, sizeof version, TEXT_ABOUT_VERSION, TARN_VERSION) > 0)
        SetDlgItemTextA(dialog, IDC_ABOUT_VERSION, version);
}

INT_PTR CALLBACK WS_AboutMsgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM)
{
    switch (message) {
    case WM_INITDIALOG:
        AboutInit(dialog);
        return TRUE;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDOK) {
            EndDialog(dialog, 1);
            return TRUE;
        }
        break;
    }
    return DialogCommonMessage(dialog, message, wParam);
}
