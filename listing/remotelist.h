// The remote listing: the command that asks for it and the reading of the
// listing file through the line rules.
#pragma once
#include <string>

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
// ParseListingFile finds in a file of the same bytes. An MLSD listing
// (state.machineListing) goes to its rule a whole line at a time, up to
// MLSD_LINE_BYTES; a longer line is left out, logged once a listing.
struct ListingReaderRec {
    RuleState* state;
    const RuleSink* sink;
    char piece[512];
    int length;          // bytes in piece
    bool pendingReturn;  // the last byte was a carriage return
    std::string line;    // MLSD: the line so far
    bool overlong;       // MLSD: the line has grown past MLSD_LINE_BYTES
};
void ListingReaderStart(ListingReaderRec* reader, RuleState& state, const RuleSink& sink);
void ListingReaderFeed(ListingReaderRec* reader, const char* bytes, int count);
void ListingReaderEnd(ListingReaderRec* reader);
// The listing command for a mask: "LIST", or "LIST " and the mask.
void ListCommand(const char* mask, char out[128]);
// The command of a session that lists with MLSD: "MLSD" when there is no
// mask; MLSD takes no mask, so a listing with one is "LIST " and the mask.
// Sets *machine when it is MLSD.
void ListingCommand(const char* mask, bool mlsd, char out[128], bool* machine);
