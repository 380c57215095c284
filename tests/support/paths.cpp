#include "tests/support/paths.h"

#include <windows.h>
#include <stdlib.h>

std::string WinePath(const std::string& unixPath)
{
    if (unixPath.empty() || unixPath[0] != '/')
        return unixPath;
    std::string out = "Z:" + unixPath;
    for (char& c : out)
        if (c == '/')
            c = '\\';
    return out;
}

// The source tree: CTest names it; else the tree this file was compiled from.
static std::string SourceDir()
{
    const char* source = getenv("TARN_SOURCE_DIR");
    std::string base = source && *source ? source : "";
    if (base.empty()) {
        base = __FILE__;
        for (int up = 0; up < 3; ++up)
            base = base.substr(0, base.find_last_of("/\\"));
    }
    return base;
}

std::string SharedListingsDir()
{
    // The repository's own copy where the tree has one.
    std::string inTree = WinePath(SourceDir() + "/tests/data/listings");
    if (GetFileAttributesA((inTree + "\\unix.txt").c_str()) != INVALID_FILE_ATTRIBUTES)
        return inTree;
    return WinePath(SourceDir() + "/../shared/listings");
}

std::string SourceFile(const std::string& relative)
{
    return WinePath(SourceDir() + "/" + relative);
}

std::string ProgramPath()
{
    // CTest names the program (the deliverable, when tools/build.sh built
    // one); else the tarn.exe beside the test programs.
    if (const char* program = getenv("TARN_PROGRAM"); program && *program)
        return WinePath(program);
    const char* bin = getenv("TARN_BINARY_DIR");
    return bin && *bin ? WinePath(std::string(bin) + "/tarn.exe") : std::string();
}
