#include "support/TestSupport.h"
#include "DropDataObject.h"
#include "delete/COrvexDeleteFile.h"
#include "delete/Requests.h"
#include "link/CShelLinkHandler.h"
#include "recycle/COrvexRecycleCleaner.h"
#include "support/DialogAnswerer.h"

#include <sddl.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <cwchar>
#include <thread>

// COM for the program's main thread, a single-threaded apartment as in the shell.
static const HRESULT g_com = CoInitialize(nullptr);

namespace sandbox {

static bool InSandbox(const std::wstring &path) { return path.size() >= 3 && std::wcschr(L"SsTt", path[0]) && path.compare(1, 2, L":\\") == 0; }

std::wstring Wide(const std::string &path)
{
    std::wstring wide(path.size(), L'\0');
    wide.resize(std::max(0, MultiByteToWideChar(CP_ACP, 0, path.data(), static_cast<int>(path.size()), &wide[0],
                                                static_cast<int>(wide.size()))));
    return wide;
}

std::string Narrow(const std::wstring &path)
{
    std::string narrow(path.size() * 2, '\0');
    narrow.resize(std::max(0, WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, path.data(),
                                                  static_cast<int>(path.size()), &narrow[0],
                                                  static_cast<int>(narrow.size()), nullptr, nullptr)));
    return narrow;
}

std::string Content(const std::wstring &path) { return "bytes of " + Narrow(path); }

void Make(const std::wstring &path, const std::string &bytes)
{
    ASSERT_TRUE(InSandbox(path)) << "refusing to make " << Narrow(path);
    // Folder by folder: the system's helper stops short of the longest paths.
    const size_t slash = path.rfind(L'\\');
    for (size_t end = path.find(L'\\', 3); end != std::wstring::npos && end <= slash; end = path.find(L'\\', end + 1))
        CreateDirectoryW(path.substr(0, end).c_str(), nullptr);
    if (slash + 1 == path.size())
        return;
    const CFileHandle file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    DWORD written = 0;
    ASSERT_TRUE(file && (bytes.empty() || WriteFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()),
                                                    &written, nullptr)))
        << "cannot make " << Narrow(path) << ", error " << GetLastError();
}

void MakeTree(const std::wstring &root, const WPaths &entries)
{
    for (const std::wstring &entry : entries)
        Make(root + L"\\" + entry);
}

std::wstring FreshFolder(const std::wstring &name)
{
    const std::wstring path = L"S:\\" + name;
    Remove(path);
    Make(path + L"\\");
    return path;
}

void Remove(const std::wstring &path)
{
    if (!InSandbox(path)) {
        ADD_FAILURE() << "refusing to remove " << Narrow(path);
        return;
    }
    const DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return;
    SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        DeleteFileW(path.c_str());
        return;
    }
    WIN32_FIND_DATAW entry;
    // A folder link is removed itself, never entered.
    const CFindHandle find(attributes & FILE_ATTRIBUTE_REPARSE_POINT ? INVALID_HANDLE_VALUE
                                                                     : FindFirstFileW((path + L"\\*").c_str(), &entry));
    for (BOOL more = find.IsValid(); more; more = FindNextFileW(find.Get(), &entry))
        if (std::wcscmp(entry.cFileName, L".") && std::wcscmp(entry.cFileName, L".."))
            Remove(path + (path.back() == L'\\' ? L"" : L"\\") + entry.cFileName);
    if (path.size() > 3)
        RemoveDirectoryW(path.c_str());
}

std::string Read(const std::wstring &path, bool *exists)
{
    const CFileHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                       OPEN_EXISTING, 0, nullptr));
    if (exists)
        *exists = file.IsValid();
    std::string bytes;
    char buffer[65536];
    DWORD read = 0;
    while (file && ReadFile(file.Get(), buffer, sizeof(buffer), &read, nullptr) && read > 0)
        bytes.append(buffer, read);
    return bytes;
}

bool Exists(const std::wstring &path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

std::wstring ShortName(const std::wstring &path)
{
    wchar_t buffer[MAX_PATH] = {};
    GetShortPathNameW(path.c_str(), buffer, MAX_PATH);
    const std::wstring whole = buffer;
    return path.substr(0, path.rfind(L'\\') + 1) + whole.substr(whole.rfind(L'\\') + 1);
}

void RemoveBins()
{
    for (const wchar_t *drive : {L"S:\\", L"T:\\"})
        for (const wchar_t *bin : {L"recycler", L"recycled", L"$Recycle.Bin"})
            Remove(drive + std::wstring(bin));
}

std::wstring UserBin(wchar_t drive)
{
    // The account's SID by its name, not the process token's: a second way to the same answer.
    wchar_t user[256] = {}, domain[256] = {}, *text = nullptr;
    DWORD userSize = 256, sidSize = SECURITY_MAX_SID_SIZE, domainSize = 256;
    BYTE sid[SECURITY_MAX_SID_SIZE];
    SID_NAME_USE use;
    EXPECT_TRUE(GetUserNameW(user, &userSize) && LookupAccountNameW(nullptr, user, sid, &sidSize, domain, &domainSize, &use) &&
                ConvertSidToStringSidW(sid, &text));
    const std::wstring bin = std::wstring(1, drive) + L":\\$Recycle.Bin\\" + (text ? text : L"?") + L"\\";
    LocalFree(text);
    return bin;
}

} // namespace sandbox

std::string ShownPath(const std::string &path) { return path.size() <= 100 ? path : path.substr(0, 50) + "......." + path.substr(path.size() - 48); }

// Held by the primary interface, as the class object hands it out.
template <class T, class Primary>
static CComPtr<T> New()
{
    void *object = nullptr;
    EXPECT_EQ(S_OK, T::CreateInstance(nullptr, __uuidof(Primary), &object));
    CComPtr<T> made(static_cast<T *>(static_cast<Primary *>(object)));
    if (object)
        static_cast<Primary *>(object)->Release();
    return made;
}

CComPtr<COrvexDeleteFile> NewHandler() { return New<COrvexDeleteFile, ICOrvexDeleteFile>(); }
CComPtr<CShelLinkHandler> NewLinkHandler() { return New<CShelLinkHandler, IShellinkHandler>(); }
CComPtr<COrvexRecycleCleaner> NewCleaner() { return New<COrvexRecycleCleaner, IOrvexRecycleCleaner>(); }

Paths ClearRaw(COrvexDeleteFile &handler, const Paths &paths)
{
    PathListRequest request;
    for (const std::string &path : paths)
        request.paths.Append(path.c_str());
    DialogAnswerer answers(std::vector<DialogAnswerer::Answer>(64, IDOK));
    EXPECT_EQ(S_OK, handler.ClearRaw(reinterpret_cast<IUnknown *>(&request)));
    return answers.Texts();
}

void ClickCancel(COrvexDeleteFile &handler) { PostMessageA(GetDlgItem(handler.m_progress.m_hWnd, IDCANCEL), BM_CLICK, 0, 0); }
std::string Label(COrvexDeleteFile &handler) { return handler.m_progress.m_status.m_label.c_str(); }

template <typename List>
static CComPtr<IDataObject> MakeSelection(const List &paths)
{
    CComPtr<IDataObject> selection;
    EXPECT_EQ(S_OK, CDropDataObject::Create(paths, selection.Receive()));
    return selection;
}
CComPtr<IDataObject> Selection(const Paths &paths) { return MakeSelection(paths); }
CComPtr<IDataObject> Selection(const WPaths &paths) { return MakeSelection(paths); }

Items MenuItems(HMENU menu)
{
    Items items;
    for (int i = 0; i < GetMenuItemCount(menu); ++i) {
        char text[256] = {};
        GetMenuStringA(menu, i, text, sizeof(text), MF_BYPOSITION);
        const bool greyed = GetMenuState(menu, i, MF_BYPOSITION) & MF_GRAYED;
        items.emplace_back(GetMenuItemID(menu, i), std::string(text) + (greyed ? " (greyed)" : ""));
    }
    return items;
}

// --- import hooks

static void **ImportSlot(const char *dll, const char *function)
{
    BYTE *base = reinterpret_cast<BYTE *>(GetModuleHandleA(nullptr));
    auto *nt = reinterpret_cast<IMAGE_NT_HEADERS *>(base + reinterpret_cast<IMAGE_DOS_HEADER *>(base)->e_lfanew);
    const IMAGE_DATA_DIRECTORY &imports = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    for (auto *entry = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR *>(base + imports.VirtualAddress); entry->Name;
         ++entry) {
        if (_stricmp(reinterpret_cast<char *>(base + entry->Name), dll) != 0)
            continue;
        auto *names = reinterpret_cast<IMAGE_THUNK_DATA *>(base + entry->OriginalFirstThunk);
        auto *slots = reinterpret_cast<IMAGE_THUNK_DATA *>(base + entry->FirstThunk);
        for (; names->u1.AddressOfData; ++names, ++slots) {
            if (!IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal) &&
                std::strcmp(reinterpret_cast<IMAGE_IMPORT_BY_NAME *>(base + names->u1.AddressOfData)->Name,
                            function) == 0)
                return reinterpret_cast<void **>(&slots->u1.Function);
        }
    }
    return nullptr;
}

static void *Swap(void **slot, void *value)
{
    DWORD protection = 0;
    VirtualProtect(slot, sizeof(*slot), PAGE_READWRITE, &protection);
    std::swap(*slot, value);
    VirtualProtect(slot, sizeof(*slot), protection, &protection);
    return value;
}

CImportHook::CImportHook(const char *dll, const char *function, void *replacement) : m_slot(ImportSlot(dll, function))
{
    if (m_slot)
        m_original = Swap(m_slot, replacement);
    else
        ADD_FAILURE() << function << " is not in the program's import table";
}

CImportHook::~CImportHook() { if (m_slot) Swap(m_slot, m_original); }

// --- the file-call log

namespace {

CFileCalls *g_calls = nullptr;

HANDLE WINAPI LoggedCreate(LPCSTR path, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES security, DWORD disposition,
                           DWORD flags, HANDLE templateFile)
{
    const HANDLE file = g_calls->create.Original<decltype(&CreateFileA)>()(path, access, share, security, disposition, flags, templateFile);
    g_calls->paths.push_back(path);
    if (file != INVALID_HANDLE_VALUE && (access & GENERIC_WRITE))
        g_calls->openForWriting[file] = path;
    return file;
}

bool Fails(const char *call, HANDLE file)
{
    if (g_calls->failing != std::make_pair(std::string(call), g_calls->openForWriting[file]))
        return false;
    SetLastError(ERROR_IO_DEVICE);
    return true;
}

BOOL WINAPI LoggedWrite(HANDLE file, LPCVOID buffer, DWORD size, LPDWORD written, LPOVERLAPPED overlapped)
{
    LARGE_INTEGER offset = {};
    SetFilePointerEx(file, offset, &offset, FILE_CURRENT);
    const BOOL ok = !Fails("WriteFile", file) &&
                    g_calls->write.Original<decltype(&WriteFile)>()(file, buffer, size, written, overlapped);
    const BYTE *bytes = static_cast<const BYTE *>(buffer);
    CFileCalls::Write write{g_calls->openForWriting[file], offset.QuadPart, size, size ? bytes[0] : BYTE(0), true};
    write.uniform = std::all_of(bytes, bytes + size, [&](BYTE b) { return b == write.first; });
    g_calls->writes.push_back(write);
    if (g_calls->onWrite)
        g_calls->onWrite(g_calls->writes.size());
    return ok;
}

BOOL WINAPI LoggedFlush(HANDLE file)
{
    g_calls->flushes[g_calls->openForWriting[file]].push_back(g_calls->writes.size());
    return !Fails("FlushFileBuffers", file) && g_calls->flush.Original<decltype(&FlushFileBuffers)>()(file);
}

BOOL WINAPI LoggedDelete(LPCSTR path)
{
    const BOOL ok = g_calls->remove.Original<decltype(&DeleteFileA)>()(path);
    g_calls->paths.push_back(path);
    if (ok)
        g_calls->writesBeforeDeletion[path] = std::count_if(g_calls->writes.begin(), g_calls->writes.end(),
                                                            [&](const CFileCalls::Write &w) { return w.path == path; });
    return ok;
}

HRESULT WINAPI NotedEmpty(HWND, LPCSTR root, DWORD flags)
{
    g_calls->emptiedBins.emplace_back(root ? root : "", flags);
    return S_OK;
}

void WINAPI NotedChange(LONG event, UINT flags, LPCVOID item, LPCVOID)
{
    const bool folderByPath = event == SHCNE_UPDATEDIR && (flags & SHCNF_TYPE) == SHCNF_PATHA && item;
    g_calls->updatedFolders.push_back(folderByPath ? static_cast<const char *>(item) : "?");
}

} // namespace

CFileCalls::CFileCalls()
    : create("kernel32.dll", "CreateFileA", reinterpret_cast<void *>(&LoggedCreate)),
      write("kernel32.dll", "WriteFile", reinterpret_cast<void *>(&LoggedWrite)),
      flush("kernel32.dll", "FlushFileBuffers", reinterpret_cast<void *>(&LoggedFlush)),
      remove("kernel32.dll", "DeleteFileA", reinterpret_cast<void *>(&LoggedDelete)),
      empty("shell32.dll", "SHEmptyRecycleBinA", reinterpret_cast<void *>(&NotedEmpty)),
      notify("shell32.dll", "SHChangeNotify", reinterpret_cast<void *>(&NotedChange))
{
    g_calls = this;
}

CFileCalls::~CFileCalls() { g_calls = nullptr; }

// --- other processes

RunResult RunProgram(const std::string &commandLine)
{
    RunResult result;
    FILE *pipe = _popen((commandLine + " 2>&1").c_str(), "rb"); // through cmd.exe, which passes the exit code on
    if (!pipe) {
        ADD_FAILURE() << "cannot start " << commandLine;
        return result;
    }
    char buffer[4096];
    for (size_t read; (read = std::fread(buffer, 1, sizeof(buffer), pipe)) > 0;)
        result.output.append(buffer, read);
    result.exitCode = static_cast<DWORD>(_pclose(pipe));
    return result;
}

void OnAnotherThread(const std::function<void()> &body, bool multithreaded)
{
    std::thread([&] {
        const bool com = multithreaded && SUCCEEDED(CoInitializeEx(nullptr, COINIT_MULTITHREADED));
        EXPECT_EQ(multithreaded, com);
        body();
        if (com)
            CoUninitialize();
    }).join();
}

bool NoBinOutsideTheSandbox()
{
    char drives[MAX_PATH] = {};
    GetLogicalDriveStringsA(MAX_PATH, drives);
    for (const char *drive = drives; *drive; drive += std::strlen(drive) + 1)
        for (const char *bin : {"recycler", "recycled", "$Recycle.Bin"})
            if (!std::strchr("SsTt", *drive) && GetFileAttributesA((std::string(drive) + bin).c_str()) != INVALID_FILE_ATTRIBUTES)
                return false;
    return true;
}

// --- the registry

static void AddTree(HKEY key, const std::string &prefix, REGSAM view, std::set<std::string> &tree)
{
    char name[256];
    BYTE data[1024];
    for (DWORD i = 0;; ++i) {
        DWORD nameSize = sizeof(name), dataSize = sizeof(data) - 1, type = 0;
        const LONG result = RegEnumValueA(key, i, name, &nameSize, nullptr, &type, data, &dataSize);
        if (result != ERROR_SUCCESS && result != ERROR_MORE_DATA)
            break;
        data[result == ERROR_SUCCESS ? dataSize : 0] = 0; // a value too large is named by its type
        tree.insert(prefix + name + (type == REG_SZ && result == ERROR_SUCCESS
                                         ? "=" + std::string(reinterpret_cast<char *>(data))
                                         : ":" + std::to_string(type)));
    }
    DWORD nameSize;
    for (DWORD i = 0; nameSize = sizeof(name), RegEnumKeyExA(key, i, name, &nameSize, nullptr, nullptr, nullptr,
                                                             nullptr) == ERROR_SUCCESS;
         ++i) {
        tree.insert(prefix + name + "\\");
        HKEY opened = nullptr;
        if (RegOpenKeyExA(key, name, 0, KEY_READ | view, &opened) == ERROR_SUCCESS)
            AddTree(CRegKey(opened).Get(), prefix + name + "\\", view, tree);
    }
}

std::set<std::string> RegistryTree(HKEY root, const std::string &path, REGSAM view)
{
    std::set<std::string> tree;
    HKEY opened = nullptr;
    if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ | view, &opened) == ERROR_SUCCESS)
        AddTree(CRegKey(opened).Get(), "", view, tree);
    return tree;
}

std::string GuidText(REFGUID guid)
{
    wchar_t text[40] = {};
    StringFromGUID2(guid, text, 40);
    return sandbox::Narrow(text);
}
