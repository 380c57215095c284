// Files for the transfer tests: a scratch directory as the local current
// directory, contents with every byte value, whole-file reads and writes.
#pragma once
#include <gtest/gtest.h>
#include <windows.h>
#include <string>
#include <vector>

// A fresh directory under the temporary folder, made the current directory
// by Enter; Leave deletes its files and returns to the former directory.
class ScratchDir {
public:
    void Enter(const char* name);
    void Leave();
    const std::string& Path() const { return path_; }

private:
    std::string path_;
    std::string saved_;
};

// `size` bytes in which every byte value occurs (from 256 bytes on), made
// from `seed`.
std::string Pattern(size_t size, unsigned seed);
// The same, changed so that every LF follows a CR: bytes that a server in
// ASCII type sends as they are.
std::string AsciiPattern(size_t size, unsigned seed);
// "\r\n" replaced by "\n": what a Unix server in ASCII type stores.
std::string StoredAscii(const std::string& sent);

// Compares two possibly large contents without printing them: the sizes and
// the first difference.
::testing::AssertionResult SameBytes(const std::string& actual, const std::string& expected);

std::string ReadBytes(const std::string& path);
bool WriteBytes(const std::string& path, const std::string& bytes);
bool FileExists(const std::string& path);
// A file of `size` bytes whose blocks are never written (the file system
// keeps it sparse), for transfers large or long enough to matter.
bool MakeSparseFile(const std::string& path, unsigned long long size);
// The low 32 bits of a file's size, 0 when it cannot be read.
DWORD SizeOf(const std::string& path);
// Names of the files in a directory (no subdirectories).
std::vector<std::string> FilesIn(const std::string& dir);
