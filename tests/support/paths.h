// Where the tests find their data and the program under test.
#pragma once
#include <string>

// A Unix path as the program sees it under Wine ("Z:" and backslashes).
std::string WinePath(const std::string& unixPath);
// The directory of real LIST lines (tests/data/listings of the source tree).
std::string ListingDataDir();
// The version kept in VERSION at the top of the source tree ("1.0.0").
std::string SourceVersion();
// The tarn.exe under test, as the program sees it; empty outside CTest.
std::string ProgramPath();
