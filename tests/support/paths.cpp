#include "tests/support/paths.h"

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

std::string ListingDataDir()
{
    const char* source = getenv("TARN_SOURCE_DIR");
    std::string base = source && *source ? source : "";
    if (base.empty()) {
        // Outside CTest: the source tree this file was compiled from.
        base = __FILE__;
        for (int up = 0; up < 3; ++up)
            base = base.substr(0, base.find_last_of("/\\"));
    }
    return WinePath(base + "/tests/data/listings");
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
