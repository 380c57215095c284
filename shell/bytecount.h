// The sent- and received-bytes fields of the status panel.
//
// A data loop reports its running total after every block. A window call
// from the transfer thread costs more than the socket call it follows, so the
// total is only stored there; a timer of the main window shows the newest
// total at display rate while the transfer runs, also when the data stalls,
// and the end shows the final total once more before the field is emptied.
#pragma once
#include <windows.h>

#include <string>

enum ByteField { BYTES_SENT, BYTES_RECEIVED };
enum { BYTECOUNT_TIMER_ID = 30, BYTECOUNT_INTERVAL_MS = 100 };

// A transfer into or out of `field` begins, of `size` bytes when known
// (SIZE_UNKNOWN of ftp/reply.h otherwise), continuing a file at byte `from`
// (0 for a whole file); the field stays empty until the first block.
void ByteCountBegin(ByteField field, unsigned long long size, unsigned long long from);
// The running total after a block. Cheap enough for every block.
void ByteCountStep(ULONGLONG total);
// The transfer has ended: the field shows the final total once more and is
// then emptied. Returns when both are done.
void ByteCountEnd();
// The transfer was stopped before it could end (its thread terminated): its
// field is emptied at once. On the GUI thread.
void ByteCountAbandon();

// The text of the field: the count, and how far the transfer is when its
// size is known, as in "31457280 (60%)". The percent is rounded down, so
// 100% means every byte has come; a count beyond the size (a text file
// whose lines grew on the way) shows 100%. Count only for an unknown size.
std::string ByteCountText(unsigned long long total, unsigned long long size);
// That percent alone, -1 for an unknown size.
int TransferPercent(unsigned long long total, unsigned long long size);
// The share done in thousandths (rounded down, 1000 once every byte has
// come), the progress bar's position; -1 for an unknown size.
int TransferPermille(unsigned long long total, unsigned long long size);
// The rate of `total` bytes in `ms` milliseconds, in units of 1024 with one
// decimal ("412.5 MB/s", "980 B/s"); empty for no time.
std::string RateText(unsigned long long total, unsigned long ms);
// The time the rest of `size` takes at the rate so far, rounded up, as
// "0:07" or "1:02:03"; empty when the size is unknown, nothing has come yet,
// or every byte has.
std::string TimeLeftText(unsigned long long total, unsigned long long size, unsigned long ms);
// The counter's texts, longest first: count and percent, rate and the time
// left (`left`, its words around TimeLeftText: "0:07 left"), two blanks
// apart; then without the rate; then count and percent alone. The field
// shows the first that fits it. The rate shows after the first half second.
enum { BYTECOUNT_RATE_AFTER_MS = 500 };
// The rate is that of the bytes moved this time, from `from` on.
void ByteCountTexts(unsigned long long total, unsigned long long size, unsigned long long from, unsigned long ms,
                    const std::string& left, std::string texts[3]);
// The main window's title with the percent in front ("60% TARN host"), or
// without one when percent is -1; a percent in front of `title` is replaced.
std::string TitleWithPercent(const std::string& title, int percent);

// Transfers of a batch (the files of a tree transfer) one after the other:
// while on, the display timer runs for the whole batch and a transfer's
// begin and end make no call into the GUI thread; the field shows the
// running total of the file that is moving, at display rate. Off empties
// the field, as the end of each transfer does otherwise, before it returns.
void ByteCountBatch(bool on);

// Message by which a transfer thread has the GUI thread start the display
// timer (BYTECOUNT_START), show the final total and empty the field
// (BYTECOUNT_FINAL), or begin or end a batch.
#define WM_TARN_BYTE_COUNT (WM_APP + 6)
enum { BYTECOUNT_START = 0, BYTECOUNT_FINAL = 1, BYTECOUNT_BATCH_START = 2, BYTECOUNT_BATCH_END = 3 };
void OnByteCountMessage(HWND main, WPARAM what);
