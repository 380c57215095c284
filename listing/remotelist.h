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
// The listing command for a mask: "LIST", or "LIST " and the mask.
void ListCommand(const char* mask, char out[128]);
