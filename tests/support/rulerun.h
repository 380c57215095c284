// Runs lines given as bytes through ParseListingFile, as a listing file would
// be read, or through the reader of a listing that arrives in pieces, and
// keeps what the rules report to its sink.
#pragma once
#include <string>
#include <vector>

struct RuleRun {
    std::vector<std::string> dirs;   // names added to the directory list, in order
    std::vector<std::string> files;  // names added to the file list, in order
    std::vector<unsigned> logged;    // catalogue entries logged
    unsigned long hostType;          // the host type after the last line
};

// One listing of the lines, each ending with a line feed (so a carriage
// return at a line's end goes, as in a real listing): the link mark starts
// clear, the rule is looked up per line.
RuleRun RunLines(unsigned long hostType, const std::vector<std::string>& lines, unsigned codePage = 1252);
// A listing of these bytes: read from a file (pieceSize 0) or as it arrives,
// handed to the reader in pieces of pieceSize bytes.
RuleRun RunListing(unsigned long hostType, const std::string& bytes, int pieceSize, unsigned codePage = 1252);
// The physical lines of a file of tests/data/listings (line N is [N - 1]).
std::vector<std::string> ListingDataLines(const char* name);

// Names a line should give, written "d:name|f:name|..." (d directory, f file).
struct Expected {
    std::vector<std::string> dirs, files;
};
Expected Parse(const std::string& text);
