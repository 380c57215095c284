#include "dialogs/hostdlg.h"

#include <string.h>
#include <initializer_list>
#include <string>
#include <vector>

#include "dialogs/dialogs.h"
#include "store/options.h"
#include "store/store.h"
#include "ftp/session.h"
#include "listing/hosttypes.h"
#include "log/log.h"
#include "log/process.h"
#include "resources/catalogue.h"
#include "resources/resource.h"

enum { HOST_TEXT_MAX = 62, USER_TEXT_MAX = 78, TIMEOUT_MAX = 65, STALL_DIGITS_MAX = 5 };
// The digits each number field takes: the time-out's 65, a port's 65535,
// retries up to 999, the keep-alive's seconds.
enum { TIMEOUT_DIGITS = 2, RETRIES_DIGITS = 3, PORT_DIGITS = 5, KEEPALIVE_DIGITS = 4 };

// Set while a profile is being loaded or the dialog set up: the folder box
// notifies on focus changes too, and a prompt opened by LoadProfile takes the
// focus away from it, which must not load the profile (and prompt) again.
static bool g_loadingProfile;
// The folder box's text when a profile was last loaded from it.
static char g_boxFolder[64];
// The folder whose saved password could not be read, once said in this
// opening of the dialog (the box loads the folder again on every key).
static char g_unreadableFolder[64];
// The folder last connected with (at OK): the current host type, detected or
// switched since, is that folder's, and the dialog shows it when it opens
// there again, so that Save stores it.
static char g_connectedFolder[64];

static void SetCheck(HWND dialog, int id, bool on)
{
    CheckDlgButton(dialog, id, on ? BST_CHECKED : BST_UNCHECKED);
}

static bool IsChecked(HWND dialog, int id)
{
    return IsDlgButtonChecked(dialog, id) == BST_CHECKED;
}

static UINT TlsModeText(BYTE mode)
{
    if (mode == TLS_REQUIRED)
        return TEXT_TLS_REQUIRED;
    return mode == TLS_WHEN_AVAILABLE ? TEXT_TLS_WHEN_AVAILABLE : TEXT_TLS_OFF;
}

static void ShowTlsMode(HWND dialog, BYTE mode)
{
    HWND box = GetDlgItem(dialog, IDC_HOST_TLS);
    LRESULT count = SendMessageA(box, CB_GETCOUNT, 0, 0);
    for (LRESULT i = 0; i < count; ++i)
        if (SendMessageA(box, CB_GETITEMDATA, i, 0) == mode)
            SendMessageA(box, CB_SETCURSEL, i, 0);
}

// The e-mail address, asked for once when none is known yet.
static const char* MailAddress()
{
    if (!ProgramOptions.mailAddr[0])
        AskText(ProgramOptions.mailAddr, CAPTION_ANONYMOUS_LOGIN, PROMPT_MAIL_ADDRESS);
    return ProgramOptions.mailAddr;
}

int LoadProfile(HWND dialog, const char* folderName)
{
    bool wasLoading = g_loadingProfile;
    g_loadingProfile = true;
    char folder[64];
    lstrcpynA(folder, folderName ? folderName : "", HOST_TEXT_MAX + 1);
    HostProfileRec& p = HostProfile;

    // A folder never saved is a new profile: its names start at Auto. A saved
    // one without the value keeps the code page it always had.
    bool saved = ProfileReadText(folder, "HOST", folder, p.host, HOST_TEXT_MAX + 1) == 1;
    SetDlgItemTextA(dialog, IDC_HOST_NAME, p.host);
    ProfileReadText(folder, "UID", "", p.user, USER_TEXT_MAX + 1);
    SetDlgItemTextA(dialog, IDC_HOST_USER, p.user);

    p.savePassword = 0;
    p.password[0] = 0;
    if (p.user[0]) {
        int found = ProfileReadPassword(folder, PASSWORD_VALUE, p.user, p.password, USER_TEXT_MAX + 1);
        if (found == PASSWORD_UNREADABLE && lstrcmpiA(folder, g_unreadableFolder) != 0) {
            LogLine(MSG_PASSWORD_UNREADABLE);
            lstrcpyA(g_unreadableFolder, folder);
        }
        p.savePassword = found == PASSWORD_READ ? 1 : 0;
    }
    SetCheck(dialog, IDC_HOST_SAVEPWD, p.savePassword);

    if (lstrcmpiA(p.user, "anonymous") == 0) {
        SetCheck(dialog, IDC_HOST_ANONYMOUS, true);
        if (!p.password[0])
            CopyTextCut(p.password, MailAddress(), USER_TEXT_MAX);
    } else
        SetCheck(dialog, IDC_HOST_ANONYMOUS, false);
    SetDlgItemTextA(dialog, IDC_HOST_PASSWORD, p.password);

    ProfileReadText(folder, "DIR", "", p.initialDir, USER_TEXT_MAX + 1);
    SetDlgItemTextA(dialog, IDC_HOST_DIR, p.initialDir);
    ProfileReadText(folder, "GATEHOST", "", p.gateHost, HOST_TEXT_MAX + 1);
    SetCheck(dialog, IDC_HOST_GATEWAY, p.gateHost[0] != 0);

    p.hostType = ProfileReadNumber(folder, "TYPE", HOST_AUTO);
    SendDlgItemMessageA(dialog, IDC_HOST_TYPE, CB_SETCURSEL, p.hostType - HOST_AUTO, 0);
    p.timeout = ProfileReadNumber(folder, "TIMEOUT", 65);
    SetDlgItemInt(dialog, IDC_HOST_TIMEOUT, p.timeout, FALSE);
    p.retries = ProfileReadNumber(folder, "RETRIES", 0);
    SetDlgItemInt(dialog, IDC_HOST_RETRIES, p.retries, FALSE);
    p.ftpPort = ProfileReadNumber(folder, "FTPPORT", 21);
    SetDlgItemInt(dialog, IDC_HOST_PORT, p.ftpPort, FALSE);
    p.passive = ProfileReadNumber(folder, "PASV", 0) == 1 ? 1 : 0;
    SetCheck(dialog, IDC_HOST_PASSIVE, p.passive);
    DWORD encoding = ProfileReadNumber(folder, "UTF8", static_cast<DWORD>(saved ? NAMES_CODE_PAGE : NAMES_AUTO));
    p.nameEncoding = encoding <= NAMES_UTF8 ? static_cast<BYTE>(encoding) : static_cast<BYTE>(NAMES_CODE_PAGE);
    SendDlgItemMessageA(dialog, IDC_HOST_ENCODING, CB_SETCURSEL, p.nameEncoding, 0);
    // A new profile asks for TLS when the server offers it; a saved one
    // without the value stays plain, as it always was.
    DWORD tls = ProfileReadNumber(folder, "TLS", static_cast<DWORD>(saved ? TLS_OFF : TLS_WHEN_AVAILABLE));
    p.tls = tls == TLS_REQUIRED || tls == TLS_WHEN_AVAILABLE ? static_cast<BYTE>(tls) : static_cast<BYTE>(TLS_OFF);
    ShowTlsMode(dialog, p.tls);
    ProfileReadText(folder, "TLSCERT", "", p.trustedCertificate, sizeof p.trustedCertificate);
    // A saved profile without the value waits for ever, as it always did.
    p.stall = ProfileReadNumber(folder, "STALL", saved ? 0 : STALL_NEW_PROFILE);
    SetDlgItemInt(dialog, IDC_HOST_STALL, p.stall, FALSE);
    // Auto for a new profile; a stored one without the value lists as before.
    DWORD mlsd = ProfileReadNumber(folder, "MLSD", static_cast<DWORD>(saved ? MLSD_NEVER : MLSD_AUTO));
    p.mlsd = mlsd == MLSD_AUTO ? static_cast<BYTE>(MLSD_AUTO) : static_cast<BYTE>(MLSD_NEVER);
    SetCheck(dialog, IDC_HOST_MLSD, p.mlsd == MLSD_AUTO);
    p.keepAlive = ProfileReadNumber(folder, "KEEPALIVE", 0);
    if (p.keepAlive > KEEPALIVE_MAX)
        p.keepAlive = KEEPALIVE_MAX;
    SetDlgItemInt(dialog, IDC_HOST_KEEPALIVE, p.keepAlive, FALSE);

    g_loadingProfile = wasLoading;
    return 1;
}

enum FolderEvent { FOLDER_EDITED, FOLDER_LEFT, FOLDER_SELECTED };

static void LoadFolderFromBox(HWND dialog, FolderEvent event)
{
    if (g_loadingProfile)
        return;
    char text[262] = "";
    HWND box = GetDlgItem(dialog, IDC_HOST_FOLDER);
    if (event == FOLDER_LEFT) {
        // Every keystroke has loaded the folder already; loading it again only
        // because the focus moves on would throw away what the user typed into
        // the other fields since.
        GetDialogText(dialog, IDC_HOST_FOLDER, text, HOST_TEXT_MAX);
        if (strcmp(text, g_boxFolder) == 0)
            return;
    }
    if (event == FOLDER_SELECTED) {
        LRESULT index = SendMessageA(box, CB_GETCURSEL, 0, 0);
        if (index == CB_ERR || SendMessageA(box, CB_GETLBTEXTLEN, index, 0) >= static_cast<LRESULT>(sizeof text))
            return;
        SendMessageA(box, CB_GETLBTEXT, index, reinterpret_cast<LPARAM>(text));
        CopyTextCut(HostProfile.folder, text, HOST_TEXT_MAX);
    } else
        GetDialogText(dialog, IDC_HOST_FOLDER, HostProfile.folder, HOST_TEXT_MAX);
    lstrcpyA(g_boxFolder, HostProfile.folder);
    LoadProfile(dialog, HostProfile.folder);
}

static void InitHostDialog(HWND dialog)
{
    g_loadingProfile = true;
    g_unreadableFolder[0] = 0;
    HostProfileRec& p = HostProfile;
    for (DWORD type = HOST_AUTO; type <= HOST_VARNVMS; ++type)
        SendDlgItemMessageA(dialog, IDC_HOST_TYPE, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(HostTypeName(type)));
    // In the order of the stored values: the item's index is the value.
    for (UINT text : {TEXT_NAMES_CODE_PAGE, TEXT_NAMES_AUTO, TEXT_NAMES_UTF8}) {
        char name[64] = "";
        LoadCatalogue(text, name, sizeof name);
        SendDlgItemMessageA(dialog, IDC_HOST_ENCODING, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name));
    }
    // Shown in the order of how much they protect; each item's data is its
    // stored value.
    for (TlsMode mode : {TLS_OFF, TLS_WHEN_AVAILABLE, TLS_REQUIRED}) {
        char name[64] = "";
        LoadCatalogue(TlsModeText(mode), name, sizeof name);
        LRESULT index = SendDlgItemMessageA(dialog, IDC_HOST_TLS, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name));
        SendDlgItemMessageA(dialog, IDC_HOST_TLS, CB_SETITEMDATA, index, mode);
    }
    std::vector<std::string> folders;
    StoreFailures failures;
    EnumProfiles(&folders, &failures);
    ShowStoreFailures(failures);
    for (const std::string& folder : folders)
        SendDlgItemMessageA(dialog, IDC_HOST_FOLDER, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(folder.c_str()));
    SendDlgItemMessageA(dialog, IDC_HOST_FOLDER, CB_LIMITTEXT, HOST_TEXT_MAX, 0);
    SendDlgItemMessageA(dialog, IDC_HOST_NAME, EM_LIMITTEXT, HOST_TEXT_MAX, 0);
    for (int id : {IDC_HOST_USER, IDC_HOST_PASSWORD, IDC_HOST_DIR})
        SendDlgItemMessageA(dialog, id, EM_LIMITTEXT, USER_TEXT_MAX, 0);
    SendDlgItemMessageA(dialog, IDC_HOST_STALL, EM_LIMITTEXT, STALL_DIGITS_MAX, 0);
    SendDlgItemMessageA(dialog, IDC_HOST_TIMEOUT, EM_LIMITTEXT, TIMEOUT_DIGITS, 0);
    SendDlgItemMessageA(dialog, IDC_HOST_RETRIES, EM_LIMITTEXT, RETRIES_DIGITS, 0);
    SendDlgItemMessageA(dialog, IDC_HOST_PORT, EM_LIMITTEXT, PORT_DIGITS, 0);
    SendDlgItemMessageA(dialog, IDC_HOST_KEEPALIVE, EM_LIMITTEXT, KEEPALIVE_DIGITS, 0);

    SetDlgItemTextA(dialog, IDC_HOST_FOLDER, p.folder);
    lstrcpyA(g_boxFolder, p.folder);
    SetDlgItemTextA(dialog, IDC_HOST_NAME, p.host);
    SetDlgItemTextA(dialog, IDC_HOST_USER, p.user);
    SetDlgItemTextA(dialog, IDC_HOST_PASSWORD, p.password);
    SetDlgItemTextA(dialog, IDC_HOST_DIR, p.initialDir);
    SetDlgItemInt(dialog, IDC_HOST_TIMEOUT, p.timeout, FALSE);
    SetDlgItemInt(dialog, IDC_HOST_STALL, p.stall, FALSE);
    SetDlgItemInt(dialog, IDC_HOST_RETRIES, p.retries, FALSE);
    SetDlgItemInt(dialog, IDC_HOST_PORT, p.ftpPort, FALSE);
    SetDlgItemInt(dialog, IDC_HOST_KEEPALIVE, p.keepAlive, FALSE);
    SetCheck(dialog, IDC_HOST_SAVEPWD, p.savePassword);
    SetCheck(dialog, IDC_HOST_PASSIVE, p.passive);
    SendDlgItemMessageA(dialog, IDC_HOST_ENCODING, CB_SETCURSEL, p.nameEncoding, 0);
    ShowTlsMode(dialog, p.tls);
    SetCheck(dialog, IDC_HOST_MLSD, p.mlsd == MLSD_AUTO);
    SendDlgItemMessageA(dialog, IDC_HOST_TYPE, CB_SETCURSEL, p.hostType - HOST_AUTO, 0);

    if (!p.folder[0])
        lstrcpynA(p.folder, p.host, HOST_TEXT_MAX + 1);
    LoadProfile(dialog, p.folder);
    if (g_connectedFolder[0] && lstrcmpiA(p.folder, g_connectedFolder) == 0 && HostTypeName(HostType)[0]) {
        p.hostType = HostType;
        SendDlgItemMessageA(dialog, IDC_HOST_TYPE, CB_SETCURSEL, p.hostType - HOST_AUTO, 0);
    }
    CentreDialog(dialog, 0);
    InvalidateRect(GetDlgItem(dialog, IDC_HOST_FOLDER), nullptr, TRUE);
    g_loadingProfile = false;
}

// OK and Save: the fields become the session values.
static void TakeHostFields(HWND dialog)
{
    HostProfileRec& p = HostProfile;
    GetDialogText(dialog, IDC_HOST_NAME, p.host, HOST_TEXT_MAX);
    GetDialogText(dialog, IDC_HOST_FOLDER, p.folder, HOST_TEXT_MAX);
    if (!p.folder[0])
        lstrcpyA(p.folder, p.host);
    GetDialogText(dialog, IDC_HOST_USER, p.user, USER_TEXT_MAX);
    GetDialogText(dialog, IDC_HOST_PASSWORD, p.password, USER_TEXT_MAX);
    GetDialogText(dialog, IDC_HOST_DIR, p.initialDir, USER_TEXT_MAX);
    p.retries = GetDlgItemInt(dialog, IDC_HOST_RETRIES, nullptr, FALSE);
    p.ftpPort = GetDlgItemInt(dialog, IDC_HOST_PORT, nullptr, FALSE);
    p.timeout = GetDlgItemInt(dialog, IDC_HOST_TIMEOUT, nullptr, FALSE);
    if (p.timeout == 0 || p.timeout > TIMEOUT_MAX)
        p.timeout = TIMEOUT_MAX;
    p.stall = GetDlgItemInt(dialog, IDC_HOST_STALL, nullptr, FALSE);  // empty: 0, wait for ever
    p.savePassword = IsChecked(dialog, IDC_HOST_SAVEPWD) ? 1 : 0;
    p.passive = IsChecked(dialog, IDC_HOST_PASSIVE) ? 1 : 0;
    LRESULT encoding = SendDlgItemMessageA(dialog, IDC_HOST_ENCODING, CB_GETCURSEL, 0, 0);
    p.nameEncoding = encoding == CB_ERR ? static_cast<BYTE>(NAMES_CODE_PAGE) : static_cast<BYTE>(encoding);
    LRESULT tls = SendDlgItemMessageA(dialog, IDC_HOST_TLS, CB_GETCURSEL, 0, 0);
    p.tls = tls == CB_ERR ? static_cast<BYTE>(TLS_OFF)
                          : static_cast<BYTE>(SendDlgItemMessageA(dialog, IDC_HOST_TLS, CB_GETITEMDATA, tls, 0));
    p.mlsd = IsChecked(dialog, IDC_HOST_MLSD) ? static_cast<BYTE>(MLSD_AUTO) : static_cast<BYTE>(MLSD_NEVER);
    p.keepAlive = GetDlgItemInt(dialog, IDC_HOST_KEEPALIVE, nullptr, FALSE);
    if (p.keepAlive > KEEPALIVE_MAX)
        p.keepAlive = KEEPALIVE_MAX;
    LRESULT type = SendDlgItemMessageA(dialog, IDC_HOST_TYPE, CB_GETCURSEL, 0, 0);
    p.hostType = HOST_AUTO + (type == CB_ERR ? 0 : static_cast<DWORD>(type));
}

static void OpenGatewayIfChecked(HWND dialog)
{
    if (IsChecked(dialog, IDC_HOST_GATEWAY)) {
        HostProfile.useGateway = 1;
        DialogBoxParamA(g_hInstance, "DLG_GATEWAY", dialog, WS_GateMsgProc, 0);
        SetFocus(dialog);
    } else
        HostProfile.useGateway = 0;
}

static void OnHostSave(HWND dialog)
{
    TakeHostFields(dialog);
    const char* folder = HostProfile.folder;
    if (folder[0]) {
        StoreFailures failures;
        SaveProfile(folder, &failures);
        ShowStoreFailures(failures);
    }
    OpenGatewayIfChecked(dialog);
    HWND box = GetDlgItem(dialog, IDC_HOST_FOLDER);
    if (folder[0] && SendMessageA(box, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                                  reinterpret_cast<LPARAM>(folder)) == CB_ERR)
        SendMessageA(box, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(folder));
    InvalidateRect(box, nullptr, TRUE);
    SetFocus(box);
}

static void OnHostDelete(HWND dialog)
{
    HWND box = GetDlgItem(dialog, IDC_HOST_FOLDER);
    char folder[64];
    GetDialogText(dialog, IDC_HOST_FOLDER, folder, HOST_TEXT_MAX);
    LRESULT selected = CB_ERR;
    if (folder[0]) {
        StoreFailures failures;
        ProfileWrite(folder, nullptr, nullptr, &failures);
        ShowStoreFailures(failures);
        LRESULT index = SendMessageA(box, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                                     reinterpret_cast<LPARAM>(folder));
        if (index != CB_ERR) {
            SendMessageA(box, CB_DELETESTRING, index, 0);
            selected = SendMessageA(box, CB_SETCURSEL, index, 0);
        }
    }
    if (selected == CB_ERR)
        SendMessageA(box, CB_SETCURSEL, 0, 0);
    LoadFolderFromBox(dialog, FOLDER_EDITED);
    InvalidateRect(box, nullptr, TRUE);
    SetFocus(box);
}

static void OnAnonymousClicked(HWND dialog)
{
    if (!IsChecked(dialog, IDC_HOST_ANONYMOUS))
        return;
    SetDlgItemTextA(dialog, IDC_HOST_USER, "anonymous");
    SetDlgItemTextA(dialog, IDC_HOST_PASSWORD, MailAddress());
    SetFocus(GetDlgItem(dialog, IDC_HOST_ANONYMOUS));
}

INT_PTR CALLBACK WS_HostMsgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM)
{
    switch (message) {
    case WM_INITDIALOG:
        InitHostDialog(dialog);
        return TRUE;
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IDOK:
            TakeHostFields(dialog);
            lstrcpyA(g_connectedFolder, HostProfile.folder);
            OpenGatewayIfChecked(dialog);
            EndDialog(dialog, 1);
            return TRUE;
        case IDC_HOST_SAVE:
            OnHostSave(dialog);
            return TRUE;
        case IDC_HOST_DELETE:
            OnHostDelete(dialog);
            return TRUE;
        case IDC_HOST_ANONYMOUS:
            if (HIWORD(wParam) == BN_CLICKED)
                OnAnonymousClicked(dialog);
            return TRUE;
        case IDC_HOST_FOLDER:
            switch (HIWORD(wParam)) {
            case CBN_EDITCHANGE:
                LoadFolderFromBox(dialog, FOLDER_EDITED);
                return TRUE;
            case CBN_KILLFOCUS:
                LoadFolderFromBox(dialog, FOLDER_LEFT);
                return TRUE;
            case CBN_SELCHANGE:
                LoadFolderFromBox(dialog, FOLDER_SELECTED);
                return TRUE;
            }
            break;
        }
        break;
    case WM_CLOSE:
        PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
        return TRUE;
    case WM_CTLCOLORLISTBOX:
        SetBkColor(reinterpret_cast<HDC>(wParam), RGB(255, 255, 255));
        return reinterpret_cast<INT_PTR>(DialogContext.white ? DialogContext.white : GetStockObject(WHITE_BRUSH));
    }
    // Cancel ends the dialog with 0; its caller puts the session back.
    return DialogCommonMessage(dialog, message, wParam);
}

static void InitGatewayDialog(HWND dialog)
{
    HostProfileRec& p = HostProfile;
    const char* folder = p.folder;
    SendDlgItemMessageA(dialog, IDC_HOST_NAME, EM_LIMITTEXT, HOST_TEXT_MAX, 0);
    SendDlgItemMessageA(dialog, IDC_HOST_USER, EM_LIMITTEXT, USER_TEXT_MAX, 0);
    SendDlgItemMessageA(dialog, IDC_HOST_PASSWORD, EM_LIMITTEXT, USER_TEXT_MAX, 0);
    ProfileReadText(folder, "GATEHOST", "", p.gateHost, HOST_TEXT_MAX + 1);
    SetDlgItemTextA(dialog, IDC_HOST_NAME, p.gateHost);
    ProfileReadText(folder, "GATEUSERID", "", p.gateUser, USER_TEXT_MAX + 1);
    SetDlgItemTextA(dialog, IDC_HOST_USER, p.gateUser);
    char saved[USER_TEXT_MAX + 1];
    int found = ProfileReadPassword(folder, GATE_PASSWORD_VALUE, p.gateUser, saved, sizeof saved);
    if (found == PASSWORD_UNREADABLE)
        LogLine(MSG_GATE_PASSWORD_UNREADABLE);
    if (found != PASSWORD_ABSENT)
        lstrcpyA(p.gatePassword, saved);
    SetDlgItemTextA(dialog, IDC_HOST_PASSWORD, p.gatePassword);
    SetCheck(dialog, IDC_HOST_SAVEPWD, p.savePassword);
}

static void OnGatewayOk(HWND dialog)
{
    HostProfileRec& p = HostProfile;
    const char* folder = p.folder;
    GetDialogText(dialog, IDC_HOST_NAME, p.gateHost, HOST_TEXT_MAX);
    StoreFailures failures;
    ProfileWrite(folder, "GATEHOST", p.gateHost, &failures);
    GetDialogText(dialog, IDC_HOST_USER, p.gateUser, USER_TEXT_MAX);
    ProfileWrite(folder, "GATEUSERID", p.gateUser, &failures);
    GetDialogText(dialog, IDC_HOST_PASSWORD, p.gatePassword, USER_TEXT_MAX);
    ProfileWritePassword(folder, GATE_PASSWORD_VALUE, p.gateUser,
                         IsChecked(dialog, IDC_HOST_SAVEPWD) ? p.gatePassword : nullptr, &failures);
    ShowStoreFailures(failures);
    EndDialog(dialog, 1);
}

INT_PTR CALLBACK WS_GateMsgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM)
{
    switch (message) {
    case WM_INITDIALOG:
        InitGatewayDialog(dialog);
        return TRUE;
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IDOK:
            OnGatewayOk(dialog);
            return TRUE;
        }
        break;
    case WM_CTLCOLORLISTBOX:
        return reinterpret_cast<INT_PTR>(DialogContext.lightGrey ? DialogContext.lightGrey
                                                                 : GetStockObject(LTGRAY_BRUSH));
    }
    return DialogCommonMessage(dialog, message, wParam);
}
