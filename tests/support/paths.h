// Where the tests find shared data.
#pragma once
#include <string>

// A Unix path as the program sees it under Wine ("Z:" and backslashes).
std::string WinePath(const std::string& unixPath);
// The directory of real LIST lines shared by the project.
std::string SharedListingsDir();
// A file of the source tree, by its path from the tree's top ("tests/...").
std::string SourceFile(const std::string& relative);
// The tarn.exe under test, as the program sees it; empty outside CTest.
std::string ProgramPath();
