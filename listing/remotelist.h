// The remote listing: the command that asks for it and the reading of the
// listing file through the line rules.
#pragma once
#include "listing/rules.h"

// Reads a listing file (511-byte pieces up to a line feed, a carriage return
// before a line feed dropped) and hands each line to the rule of
// *state.hostType, looked up per line (the Windows NT rule can switch it),
// which reports the names to the sink. Returns 0, or -1 after logging
// MSG_NO_LISTING_FILE when the file cannot be opened.
int ParseListingFile(const char* path, RuleState& state, const RuleSink& sink);

// The same reading over a listing as it arrives, in pieces of any size: each
// whole line goes to the rules as soon as its line feed is here, the last
// line (without one) at ListingReaderEnd. Lines and names are those that
// ParseListingFile finds in a file of the same bytes.
struct ListingReaderRec {
    RuleState* state;
    const RuleSink* sink;
    char piece[512];
    int length;          // bytes in piece
    bool pendingReturn;  // the last byte was a carriage return
};
void ListingReaderStart(ListingReaderRec* reader, RuleState& state, const RuleSink& sink);
void ListingReaderFeed(ListingReaderRec* reader, const char* bytes, int count);
void ListingReaderEnd(ListingReaderRec* reader);
// The listing command for a mask: "LIST", or "LIST " and the mask.
void ListCommand(const char* mask, char out[128]);
