#pragma once
#include <windows.h>
#include <string>

// The only place tests may write: the sandbox drive S: (a folder of the build tree).
// T: is a second sandbox drive for cases that need two fixed drives.
namespace sandbox {

// A fresh, empty folder S:\<name> (removed first if it exists); returns its path without a
// trailing backslash.
std::string FreshFolder(const std::string &name);

// Writes the bytes to the file, creating or truncating it.
void WriteFileBytes(const std::string &path, const std::string &bytes);
// The file's whole content; an empty string with *exists false when it cannot be opened.
std::string ReadFileBytes(const std::string &path, bool *exists = nullptr);
bool Exists(const std::string &path);
// Removes a sandbox folder tree (attributes reset first). Refuses any path outside S: and T:.
void RemoveTree(const std::string &path);

// The same under wide paths: names the test's ANSI code page cannot spell, paths of any length.
void WriteFileBytes(const std::wstring &path, const std::string &bytes);
std::string ReadFileBytes(const std::wstring &path, bool *exists = nullptr);
bool Exists(const std::wstring &path);
void RemoveTree(const std::wstring &path);
std::wstring Wide(const std::string &path);
// The 8-bit form of a wide path that the ANSI code page spells exactly.
std::string Narrow(const std::wstring &path);

} // namespace sandbox
