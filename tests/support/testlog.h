// Sees every line the status log keeps, for assertions on what the user reads.
#pragma once
#include <string>
#include <vector>

// Starts capturing (and forgets what was captured before).
void CaptureLog();
std::vector<std::string> CapturedLog();
// True when some captured line equals text.
bool LogHas(const std::string& text);
// Empties StatusHistory and DebugLog, as at start-up.
void ResetLogStores();
