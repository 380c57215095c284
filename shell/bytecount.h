// The sent- and received-bytes fields of the status panel.
//
// A data loop reports its running total after every block. A window call
// from the transfer thread costs more than the socket call it follows, so the
// total is only stored there; the GUI thread shows the newest one at display
// rate (one coalesced posted message at a time), and once more at the end.
#pragma once
#include <windows.h>

enum ByteField { BYTES_SENT, BYTES_RECEIVED };

// A transfer into or out of `field` begins; the field stays empty until the
// first block.
void ByteCountBegin(ByteField field);
// The running total after a block. Cheap enough for every block.
void ByteCountStep(DWORD total);
// The transfer has ended: the field shows the final total once more and is
// then emptied. Returns when both are done.
void ByteCountEnd();

// Message by which a transfer thread has the GUI thread show the newest
// total (wParam 0) or the final total followed by the empty text (wParam 1).
#define WM_TARN_BYTE_COUNT (WM_APP + 6)
void OnByteCountMessage(WPARAM final);
