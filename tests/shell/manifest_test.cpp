// The application manifest, read back from the built programs: both carry
// it as resource 1 of type RT_MANIFEST, with what Windows looks for.
#include <gtest/gtest.h>

#include <windows.h>
#include <string>
#include <vector>

#include "tests/support/paths.h"

namespace {

// The built programs: the one under test and, beside its folder, the other
// architecture's (build/i686/tarn.exe and build/x86_64/tarn.exe).
std::vector<std::string> BuiltPrograms()
{
    std::vector<std::string> programs;
    std::string program = ProgramPath();
    if (program.empty())
        return programs;
    std::string dir = program.substr(0, program.find_last_of('\\'));
    std::string arch = dir.substr(dir.find_last_of('\\') + 1);
    if (arch != "i686" && arch != "x86_64")
        return {program};
    std::string build = dir.substr(0, dir.find_last_of('\\'));
    for (const char* a : {"i686", "x86_64"})
        programs.push_back(build + "\\" + a + "\\tarn.exe");
    return programs;
}

// The text of manifest resource 1, "" when the program has none.
std::string ManifestOf(const std::string& program)
{
    HMODULE module = LoadLibraryExA(program.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    if (!module)
        return "";
    std::string text;
    if (HRSRC found = FindResourceA(module, MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(24))) {
        HGLOBAL loaded = LoadResource(module, found);
        const char* bytes = static_cast<const char*>(LockResource(loaded));
        if (bytes)
            text.assign(bytes, SizeofResource(module, found));
    }
    FreeLibrary(module);
    return text;
}

// Whether the text holds the pieces in this order, each after the one before.
bool HasInOrder(const std::string& text, const std::vector<std::string>& pieces)
{
    size_t at = 0;
    for (const std::string& p : pieces) {
        at = text.find(p, at);
        if (at == std::string::npos)
            return false;
        at += p.size();
    }
    return true;
}

TEST(Manifest, BothProgramsCarryIt)
{
    std::vector<std::string> programs = BuiltPrograms();
    if (programs.empty())
        GTEST_SKIP() << "no TARN_PROGRAM";
    for (const std::string& program : programs) {
        SCOPED_TRACE(program);
        ASSERT_NE(GetFileAttributesA(program.c_str()), INVALID_FILE_ATTRIBUTES);
        std::string m = ManifestOf(program);
        ASSERT_FALSE(m.empty());
        EXPECT_EQ(m.rfind("<?xml", 0), 0u);
        // Common controls version 6.
        EXPECT_TRUE(HasInOrder(m, {"<dependency>", "<dependentAssembly>", "name=\"Microsoft.Windows.Common-Controls\"",
                                   "version=\"6.0.0.0\"", "processorArchitecture=\"*\"",
                                   "publicKeyToken=\"6595b64144ccf1df\"", "</dependency>"}));
        // Never elevated.
        EXPECT_TRUE(HasInOrder(m, {"<trustInfo", "<requestedExecutionLevel level=\"asInvoker\" uiAccess=\"false\"/>",
                                   "</trustInfo>"}));
        // Vista, 7, 8, 8.1, 10 and 11.
        for (const char* id : {"e2011457-1546-43c5-a5fe-008deee3d3f0", "35138b9a-5d96-4fbd-8e2d-a2440225f93a",
                               "4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38", "1f676c76-80e1-4239-95bb-83d0f6d0da78",
                               "8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a"})
            EXPECT_TRUE(HasInOrder(m, {"<compatibility", std::string("<supportedOS Id=\"{") + id + "}\"/>",
                                       "</compatibility>"}))
                << id;
        // System DPI aware.
        EXPECT_TRUE(HasInOrder(m, {"<windowsSettings>",
                                   "<dpiAware xmlns=\"http://schemas.microsoft.com/SMI/2005/WindowsSettings\">true"
                                   "</dpiAware>",
                                   "<dpiAwareness xmlns=\"http://schemas.microsoft.com/SMI/2016/WindowsSettings\">"
                                   "system</dpiAwareness>",
                                   "</windowsSettings>"}));
    }
}

}  // namespace
