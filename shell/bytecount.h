// The sent- and received-bytes fields of the status panel.
//
// A data loop reports its running total after every block. A window call
// from the transfer thread costs more than the socket call it follows, so the
// total is only stored there; a timer of the main window shows the newest
// total at display rate while the transfer runs, also when the data stalls,
// and the end shows the final total once more before the field is emptied.
#pragma once
#include <windows.h>

enum ByteField { BYTES_SENT, BYTES_RECEIVED };
enum { BYTECOUNT_TIMER_ID = 30, BYTECOUNT_INTERVAL_MS = 100 };

// A transfer into or out of `field` begins; the field stays empty until the
// first block.
void ByteCountBegin(ByteField field);
// The running total after a block. Cheap enough for every block.
void ByteCountStep(ULONGLONG total);
// The transfer has ended: the field shows the final total once more and is
// then emptied. Returns when both are done.
void ByteCountEnd();
// The transfer was stopped before it could end (its thread terminated): its
// field is emptied at once. On the GUI thread.
void ByteCountAbandon();

// Message by which a transfer thread has the GUI thread start the display
// timer (wParam 0) or show the final total and empty the field (wParam 1).
#define WM_TARN_BYTE_COUNT (WM_APP + 6)
void OnByteCountMessage(HWND main, WPARAM final);
