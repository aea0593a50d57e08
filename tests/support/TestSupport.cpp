#include "support/TestSupport.h"

#include <gtest/gtest.h>
#include <cwchar>

namespace sandbox {

static bool InSandbox(const std::wstring &path)
{
    return path.size() > 3 && (path[0] == L'S' || path[0] == L's' || path[0] == L'T' || path[0] == L't') &&
           path[1] == L':' && path[2] == L'\\';
}

// For failure messages only.
static std::string Shown(const std::wstring &path)
{
    std::string shown;
    for (wchar_t c : path)
        shown += c < 0x80 ? static_cast<char>(c) : '?';
    return shown;
}

std::wstring Wide(const std::string &path)
{
    std::wstring wide(path.size(), L'\0');
    const int length = MultiByteToWideChar(CP_ACP, 0, path.data(), static_cast<int>(path.size()), &wide[0],
                                           static_cast<int>(wide.size()));
    wide.resize(length > 0 ? length : 0);
    return wide;
}

std::string Narrow(const std::wstring &path)
{
    std::string narrow(path.size() * 2, '\0');
    const int length = WideCharToMultiByte(CP_ACP, 0, path.data(), static_cast<int>(path.size()), &narrow[0],
                                           static_cast<int>(narrow.size()), nullptr, nullptr);
    narrow.resize(length > 0 ? length : 0);
    return narrow;
}

void RemoveTree(const std::wstring &path)
{
    if (!InSandbox(path)) {
        ADD_FAILURE() << "refusing to remove " << Shown(path) << ": outside the sandbox drives";
        return;
    }
    const DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return;
    SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    // A link is removed itself, never followed. The wide listing gives the true names.
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) && !(attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
        WIN32_FIND_DATAW entry;
        HANDLE find = FindFirstFileW((path + L"\\*").c_str(), &entry);
        if (find != INVALID_HANDLE_VALUE) {
            do {
                if (std::wcscmp(entry.cFileName, L".") && std::wcscmp(entry.cFileName, L".."))
                    RemoveTree(path + L"\\" + entry.cFileName);
            } while (FindNextFileW(find, &entry));
            FindClose(find);
        }
        RemoveDirectoryW(path.c_str());
    } else if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
        RemoveDirectoryW(path.c_str());
    } else {
        DeleteFileW(path.c_str());
    }
}

std::string FreshFolder(const std::string &name)
{
    const std::string path = "S:\\" + name;
    RemoveTree(path);
    if (!CreateDirectoryA(path.c_str(), nullptr))
        ADD_FAILURE() << "cannot create " << path << ", error " << GetLastError();
    return path;
}

void WriteFileBytes(const std::wstring &path, const std::string &bytes)
{
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE) << "cannot create " << Shown(path) << ", error " << GetLastError();
    DWORD written = 0;
    const BOOL ok = bytes.empty() || WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(file);
    ASSERT_TRUE(ok && written == bytes.size()) << "cannot write " << Shown(path);
}

std::string ReadFileBytes(const std::wstring &path, bool *exists)
{
    std::string bytes;
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (exists)
        *exists = file != INVALID_HANDLE_VALUE;
    if (file == INVALID_HANDLE_VALUE)
        return bytes;
    char buffer[65536];
    DWORD read = 0;
    while (ReadFile(file, buffer, sizeof(buffer), &read, nullptr) && read > 0)
        bytes.append(buffer, read);
    CloseHandle(file);
    return bytes;
}

bool Exists(const std::wstring &path)
{
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

void WriteFileBytes(const std::string &path, const std::string &bytes)
{
    WriteFileBytes(Wide(path), bytes);
}

std::string ReadFileBytes(const std::string &path, bool *exists)
{
    return ReadFileBytes(Wide(path), exists);
}

bool Exists(const std::string &path)
{
    return Exists(Wide(path));
}

void RemoveTree(const std::string &path)
{
    RemoveTree(Wide(path));
}

} // namespace sandbox
