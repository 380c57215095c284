// The four lists of the main window and the labels above them: the local
// directory read into them, the remote listing read into them in batches, and
// the commands the server offers shown on the remote buttons.
#pragma once
#include <winsock.h>
#include <windows.h>

#include <string>
#include <vector>

#include "listing/hosttypes.h"

// The remote current directory as the last PWD of a listing named it (at most
// 180 bytes; "undecipherable" when the reply named none; empty when not
// logged on).
extern char RemoteCurrentDir[181];

// Text of a mask edit of the main window (IDC_LOCAL_MASK or IDC_REMOTE_MASK),
// at most 119 characters; returns its length.
int GetMaskText(int editId, char out[120]);

// Refreshes the local lists from the current working directory and the local
// mask. Runs on the GUI thread; called on a worker, it is carried out there
// in one synchronous call, so two listings never mix their entries.
// Always returns 0.
int FillLocalLists(HWND window);
// A tree walk's fills (on: from the walk's start to its end): the drives are
// listed once for the whole walk, and the end fills the local lists once more
// as FillLocalLists does, so that they end as every fill leaves them.
void WalkLocalFills(bool on);

// Refreshes the remote side: current directory, detection once per logon,
// LIST into ListingTempFile, and the two lists filled by the line rule of the
// current HostType. Always returns 0.
int DoDirList(HWND window);
// Reads a listing file with the rules of the current HostType into the remote
// lists, in batches: the lists are complete when it returns. Returns what
// ParseListingFile returns.
int ReadListingIntoLists(const char* path);
// Adds a name to the remote directory list or file list at once and widens
// that list's horizontal extent for it (SetListExtent).
void AddRemoteDir(const char* name);
void AddRemoteFile(const char* name);

// Works out the host type and the commands the server offers (DetectHostType)
// and enables the remote Create, Remove, Rename and Delete buttons by them.
void DetectRemoteCommands(SOCKET control);

#include <string>
// A name in the code page (typed by the user, or a local name) as this
// session sends it: converted to UTF-8 when the names are UTF-8.
std::string NameOnWire(const char* name);
// A remote list's item: its text as shown into shown (shownSize bytes; false
// when it does not fit, see ListItemText) and the server's bytes into wire.
bool RemoteItem(int listId, int index, char* shown, int shownSize, std::string* wire);
// The items of a selection read in one call on the GUI thread (a worker's
// call for each item costs a round trip to that thread): each as RemoteItem
// reads it when wires is set (whole: the text fitted and the wire was
// found), else as ListItemText does (the wire left empty).
struct ListItemRec {
    std::string shown;
    std::string wire;
    bool whole;
};
void ReadListItems(int listId, const std::vector<int>& indexes, int shownSize, bool wires,
                   std::vector<ListItemRec>* items);
// How a listed file or directory is received: under the name shown (and
// every name of a session in the code page); under its true name through the
// wide-character file calls (a file whose name has characters that the code
// page lacks, when `wide` is given and this Windows has them: *wide is then
// that name); or not at all, logged: a name that is not UTF-8, or one the
// code page cannot write otherwise; never under marks or another name.
// The size the last listing gave for the remote file of these bytes,
// SIZE_UNKNOWN when it gave none.
unsigned long long ListedFileSize(const std::string& wire);
enum ReceiveNameKind { RECEIVE_REFUSED, RECEIVE_AS_SHOWN, RECEIVE_WIDE };
ReceiveNameKind ReceivableName(const std::string& wire, const char* shown, std::wstring* wide = nullptr);
