#include "shell/namebatch.h"

#include <string.h>

// Big enough that a listing of 100,000 names takes a few dozen calls into the
// GUI thread, small enough that the window never stalls noticeably on one.
enum { BATCH_NAMES = 2048, BATCH_BYTES = 64 * 1024 };

void BatchStart(NameBatchRec* batch, HWND list, int* widest)
{
    batch->fill = ListFillRec{list, widest, false};
    batch->names.clear();
    batch->names.reserve(BATCH_BYTES + 512);
    batch->wires.clear();
    batch->count = 0;
}

void BatchAdd(NameBatchRec* batch, const char* name)
{
    batch->names.insert(batch->names.end(), name, name + strlen(name) + 1);
    if (++batch->count >= BATCH_NAMES || batch->names.size() >= BATCH_BYTES)
        BatchFlush(batch);
}

void BatchAddKept(NameBatchRec* batch, const char* shown, const char* wire)
{
    batch->wires.insert(batch->wires.end(), wire, wire + strlen(wire) + 1);
    BatchAdd(batch, shown);
}

static LRESULT AddOnGuiThread(void* argument)
{
    NameBatchRec* batch = static_cast<NameBatchRec*>(argument);
    AddListNames(&batch->fill, batch->names.data(), batch->count, static_cast<int>(batch->names.size()),
                 batch->wires.empty() ? nullptr : batch->wires.data());
    return 0;
}

void BatchFlush(NameBatchRec* batch)
{
    if (batch->count > 0)
        CallOnGuiThread(AddOnGuiThread, batch);
    batch->names.clear();
    batch->wires.clear();
    batch->count = 0;
}

static LRESULT EndOnGuiThread(void* argument)
{
    EndListFill(&static_cast<NameBatchRec*>(argument)->fill);
    return 0;
}

void BatchEnd(NameBatchRec* batch)
{
    BatchFlush(batch);
    CallOnGuiThread(EndOnGuiThread, batch);
}

void BatchCancel(NameBatchRec* batch)
{
    batch->names.clear();
    batch->wires.clear();
    batch->count = 0;
    CallOnGuiThread(EndOnGuiThread, batch);
}
