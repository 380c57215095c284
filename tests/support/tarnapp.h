// The real tarn.exe, driven from the test program the way a user drives it:
// a process of its own with its own current directory, found by its main
// window and worked only through window messages (clicks are posted, so the
// test never blocks inside one of the program's modal loops).
//
// Notes on Wine 8 across processes: LB_GETTEXT answers in UTF-16, so lists
// are read with the W message; an editable combo box learns of a change only
// from typed characters (WM_CHAR).
#pragma once
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "tests/support/transferfiles.h"

struct TarnApp {
    PROCESS_INFORMATION process = {};
    HWND main = nullptr;
    std::string dir;       // its current directory (Windows path)

    TarnApp() = default;
    TarnApp(const TarnApp&) = delete;
    TarnApp& operator=(const TarnApp&) = delete;
    // Ends the process if it still runs and removes its directory.
    ~TarnApp();

    // Starts tarn.exe with the arguments in dir, or when dir is empty in a
    // fresh directory named after `name` below the temporary directory, and
    // waits for its main window and its first log lines. False when it did
    // not come up.
    bool Start(const std::string& name, const std::string& arguments = "", DWORD ms = 30000);
    // Start() for another Windows user: Wine derives that from the Unix user
    // name the process starts with (its DPAPI keys too), which a Windows
    // process cannot hand to its children, so tarn.exe is started through
    // a Unix command with USER set (same Wine prefix and server) and found
    // by its process.
    bool StartAsUser(const std::string& name, const std::string& user, DWORD ms = 30000);
    // Only starts the process (for a run that may end before it is looked at).
    bool Launch(const std::string& name, const std::string& arguments = "");
    // Exit code once the process has ended within ms; -1000 while it runs.
    long WaitExit(DWORD ms = 20000);
    bool Running() const;
    // The debug window of the process ("-d"), 0 when it has none.
    HWND DebugWindow() const;

    HWND Control(int id) const;
    // The upper and lower status lines (the first two texts with ID 2510).
    HWND StatusLine(bool upper) const;
    std::string Text(int id) const;
    std::string Title() const;
    bool Enabled(int id) const;
    bool Visible(int id) const;
    bool Checked(int id) const;

    // A posted click on a button (BM_CLICK), as the mouse would make it.
    void Click(int id) const;
    // A posted WM_COMMAND with the control's notification code.
    void Notify(int id, int code) const;
    // Types text into an edit of the main window (WM_CHAR each character).
    void Type(int id, const std::string& text) const;
    // Posts the Enter key to a control of the main window.
    void PressEnter(int id) const;
    // A real key stroke (SendInput), with Shift held when asked, to the
    // control that has the focus; the main window is brought to the
    // foreground first. False when it could not be.
    bool Key(WORD vk, bool shift = false) const;
    // The control of the program that has the keyboard focus, 0 when none.
    HWND Focused() const;
    // Presses Tab (Shift+Tab backwards) until control `id` has the focus,
    // at most `limit` times; the presses taken, or -1.
    int TabTo(int id, bool backwards = false, int limit = 40) const;
    // Posts a menu command to the debug window.
    void DebugCommand(int id) const;

    // Items of a list box of the main window, top to bottom.
    std::vector<std::string> Items(int listId) const;
    // Selects exactly these items (false when one is missing).
    bool Select(int listId, const std::vector<std::string>& names) const;
    void SelectNone(int listId) const;
    std::vector<std::string> Selected(int listId) const;

    // The status history that the scroll bar pages through (at most 60
    // lines, oldest first), read by scrolling it up and back down. Only
    // meaningful while nothing is logged meanwhile.
    std::vector<std::string> History() const;
    // Remembers the history; NewLines() then gives what was logged since.
    void Mark();
    std::vector<std::string> NewLines() const;
    // Waits until a line logged since the mark satisfies match (status
    // lines are cut to 80 characters; compare with Line()).
    bool WaitLogged(const std::function<bool(const std::string&)>& match, DWORD ms = 20000) const;
    bool WaitLogged(const std::string& line, DWORD ms = 20000) const;
    // Waits until the status lines have stayed the same for quietMs.
    void Settle(DWORD quietMs = 500, DWORD ms = 20000) const;
    // Waits until pred() holds, checking every 20 ms.
    static bool WaitFor(const std::function<bool()>& pred, DWORD ms = 20000);

    // Dialogs of the process: the visible, enabled dialog that has control
    // markerId; 0 when none came within ms.
    HWND WaitDialog(int markerId, DWORD ms = 10000) const;
    // Answers the one-line input dialog with text and OK; returns its prompt
    // ("" when no input dialog came). title receives its caption.
    std::string Answer(const std::string& text, std::string* title = nullptr, DWORD ms = 10000) const;
    // Closes the input dialog without OK; returns its prompt.
    std::string CancelInput(std::string* title = nullptr, DWORD ms = 10000) const;
    // Presses button (IDOK, IDYES, IDNO, ...) of the next message box and
    // returns its text ("" when none came).
    std::string AnswerBox(int button, std::string* title = nullptr, DWORD ms = 10000) const;
    // Connects through the host dialog: types the folder name, then the
    // password, chooses hostType in the host type list when it is not 0,
    // and presses OK. False when the dialog did not come.
    bool ConnectWith(const std::string& folder, const std::string& password, DWORD hostType = 0) const;

    // The lines the main window's status shows kept as tarn keeps them.
    static std::string Line(const std::string& text);

    std::vector<std::string> mark_;
};

// Registry set-up for a test's tarn.exe: options without prompts, bells,
// unique names or trace lines, a known e-mail address and viewer.
void WriteTestOptions(const std::string& viewer = "notepad", DWORD flags = 0, DWORD autoStart = 0);
// A host profile for a real server of the tests (user tarnftp, or anonymous).
void WriteHostProfile(const std::string& folder, int port, bool anonymous, const std::string& initialDir = "",
                      DWORD timeout = 65);

// Files for the tests (whole-file reads and writes: transferfiles.h).
std::string TempDirectory(const std::string& name);   // fresh, empty
bool DirExists(const std::string& path);
// Removes a directory tree (files and subdirectories).
void RemoveTree(const std::string& path);
// Every file below root, as "relative\\path" -> bytes, and every directory
// as "relative\\path\\" -> "".
std::vector<std::pair<std::string, std::string>> TreeContents(const std::string& root);

// The lines vsftpd logged after `offset` (its log's size when the test
// began): "FTP command" and "FTP response" lines, as the server saw them.
long ServerLogSize();
std::vector<std::string> ServerCommandsSince(long offset);

// Handles of a process (a handle to it with PROCESS_DUP_HANDLE access),
// counted by duplicating every small handle value: Wine's
// GetProcessHandleCount answers 0.
int HandleCount(HANDLE process);
// Threads of a process.
int ThreadCount(DWORD pid);

// The lines joined with line feeds, for messages of failed assertions.
std::string Joined(const std::vector<std::string>& lines);
bool Contains(const std::vector<std::string>& items, const std::string& item);
