// Names on their way into a list box of the main window, gathered so that a
// worker thread hands them to the GUI thread a batch at a time instead of one
// synchronous call (and one repaint) per name.
#pragma once
#include <windows.h>
#include <vector>

#include "shell/mainwin.h"

struct NameBatchRec {
    ListFillRec fill;
    std::vector<char> names;  // texts, each ending with a NUL
    std::vector<char> wires;  // BatchAddKept: the server's bytes of each name, likewise
    int count;
};

void BatchStart(NameBatchRec* batch, HWND list, int* widest);
// Appends a name; a full batch goes to the list.
void BatchAdd(NameBatchRec* batch, const char* name);
// Appends a name shown converted, with the server's bytes of it; a batch
// holds either kind of name only.
void BatchAddKept(NameBatchRec* batch, const char* shown, const char* wire);
// Hands the gathered names to the list: one call into the GUI thread.
void BatchFlush(NameBatchRec* batch);
// Flushes and ends the fill (redraw on again).
void BatchEnd(NameBatchRec* batch);
// Ends the fill, dropping the names not yet handed to the list.
void BatchCancel(NameBatchRec* batch);
