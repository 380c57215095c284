// Where the tests find shared data.
#pragma once
#include <string>

// A Unix path as the program sees it under Wine ("Z:" and backslashes).
std::string WinePath(const std::string& unixPath);
// The directory of real LIST lines shared by the project.
std::string SharedListingsDir();
// The tarn.exe under test, as the program sees it; empty outside CTest.
std::string ProgramPath();
