// Remote operations: one worker thread at a time under the busy lock, and the
// procedures that stop it (Abort, Disconnect, Exit, the time-out watchdog).
#pragma once
#include <winsock.h>
#include <windows.h>

#include "ftp/logon.h"  // ConnectSession, for the operations that connect

struct OperationRequestRec {
    HWND window;        // the window whose message started the operation
    WPARAM command;     // the command's parameter; 13 for Enter; the drop handle
};
extern OperationRequestRec OperationRequest;
extern BYTE g_connectInProgress;
extern LONG g_dirsCreated;   // the fourth of the tree transfers' totals
extern ULONGLONG g_treeStartMs;  // when the tree transfer began (TransferClockMs)

typedef DWORD(WINAPI* ThreadProc)(LPVOID);

void StartOperation(HWND window, WPARAM command, ThreadProc proc, bool needsConnection);
// Starts the worker without the connection test (dropped files, remote mask,
// Connect, the command-line fetch); false when an operation runs already.
bool StartWorker(HWND window, WPARAM command, ThreadProc proc);

DWORD WINAPI SendFilesThread(LPVOID);
// Sends the selected local files (with none selected and askName, the one
// file the user names) with STOR, or STOU under Send Unique: each under the
// remote name that Prompt lets the user change (an emptied name skips the
// file), the progress in the upper status, stopping at the first file the
// server does not confirm. Enables Abort; false, with nothing sent, when no
// file was selected or named.
bool SendSelectedFiles(bool askName);
DWORD WINAPI DropFilesThread(LPVOID);
DWORD WINAPI ReceiveFilesThread(LPVOID);
DWORD WINAPI RemoteViewThread(LPVOID);
DWORD WINAPI RemoteChdirThread(LPVOID);
DWORD WINAPI RemoteMkdirThread(LPVOID);
DWORD WINAPI RemoteRmdirThread(LPVOID);
DWORD WINAPI RemoteDeleteThread(LPVOID);
DWORD WINAPI RemoteRenameThread(LPVOID);
DWORD WINAPI ConnectThread(LPVOID);
DWORD WINAPI RemoteRefreshThread(LPVOID);
DWORD WINAPI CommandLineFetchThread(LPVOID);
DWORD WINAPI SendTreeThread(LPVOID);
DWORD WINAPI ReceiveTreeThread(LPVOID);

int FetchRemotePath(const char* path);
void AbortOperation(HWND main);
void DisconnectSession(HWND main, bool exitAfter);
// The server ended the control connection: the session ends as by
// Disconnect, without QUIT, and with the remote lists kept as they are.
void EndLostSession(HWND main);
// The close of socket s was posted (WSAAsyncSelect), or the idle control
// connection s has something to read: the server's last words are shown,
// and the session ends when s is its control connection and is really
// closed.
void OnControlClosed(HWND main, SOCKET s);
void CloseTransferFiles(bool* receiveWasOpen, bool* sendWasOpen);
int ReadAbortReply(SOCKET control);
void CALLBACK AbortWaitTimerProc(HWND, UINT, UINT_PTR, DWORD);
// Stops the running worker (see StopWorker in shell/busy.h) and forgets its
// socket calls; used by Abort, Disconnect, Exit, closing and the watchdog.
void KillWorker();
// Hooks the worker stops into the watchdog (start-up).
void InstallWorkerStops();
// Host and path of the command-line fetch.
extern char g_fetchHost[64];
extern char g_fetchPath[256];
