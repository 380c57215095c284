// The local directory read for the local lists.
#pragma once
#include <vector>

// Appends the names of the entries matching pattern that are (or are not)
// directories, "." left out, each ending with a NUL; returns how many.
int ReadLocalNames(const char* pattern, bool directories, std::vector<char>* names);
