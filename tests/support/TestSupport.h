#pragma once
#include <windows.h>
#include <shlobj.h>
#include <shlwapi.h>
#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "OrvexShellExtensions.h"
#include "common/ComPtr.h"
#include "common/Scoped.h"

using Paths = std::vector<std::string>;
using WPaths = std::vector<std::wstring>;

// The only places tests write: the sandbox drives S: and T: (folders of the build tree).
namespace sandbox {

std::wstring Wide(const std::string &path);
// The 8-bit form; a character the ANSI code page cannot spell becomes '?'.
std::string Narrow(const std::wstring &path);
// What Make writes into a file unless told otherwise.
std::string Content(const std::wstring &path);
// A file with its folders, or only folders for a path ending in a backslash. Refuses any path
// outside S: and T:.
void Make(const std::wstring &path, const std::string &bytes);
inline void Make(const std::wstring &path) { Make(path, Content(path)); }
// Every entry below root, in order (see Make).
void MakeTree(const std::wstring &root, const WPaths &entries);
// A fresh, empty folder S:\<name>, without a trailing backslash.
std::wstring FreshFolder(const std::wstring &name);
// Removes a file or a tree (links themselves, never their targets). Refuses anything outside S: and T:.
void Remove(const std::wstring &path);
// The file's bytes; *exists false when it cannot be opened.
std::string Read(const std::wstring &path, bool *exists = nullptr);
bool Exists(const std::wstring &path);
// The path with its last part replaced by that part's short (8.3) name.
std::wstring ShortName(const std::wstring &path);
// Every recycle folder of S: and T:, gone.
void RemoveBins();
// The current user's bin on a drive as Vista and later keep it: "S:\$Recycle.Bin\<SID>\".
std::wstring UserBin(wchar_t drive);

} // namespace sandbox

// A path as the report of an item that no path reaches shows it: whole up to 100 characters,
// else its first 50, "......." and its last 48.
std::string ShownPath(const std::string &path);

// The module's three classes, each made by its instance creator.
class COrvexDeleteFile;
class CShelLinkHandler;
class COrvexRecycleCleaner;
CComPtr<COrvexDeleteFile> NewHandler();
CComPtr<CShelLinkHandler> NewLinkHandler();
CComPtr<COrvexRecycleCleaner> NewCleaner();

// ClearRaw of the paths on the handler, the way the shell-link handler hands a selection over,
// every report answered with OK; the reports' texts.
Paths ClearRaw(COrvexDeleteFile &handler, const Paths &paths);
// The progress dialog's Cancel, clicked as a user clicks it: the run's message step delivers it.
void ClickCancel(COrvexDeleteFile &handler);
// What the progress dialog's label shows.
std::string Label(COrvexDeleteFile &handler);

// The shell's data object for a selection: a drop list of 8-bit or of wide paths.
CComPtr<IDataObject> Selection(const Paths &paths);
CComPtr<IDataObject> Selection(const WPaths &paths);

// The items of a menu in order: id and text, " (greyed)" after a greyed one.
using Items = std::vector<std::pair<UINT, std::string>>;
Items MenuItems(HMENU menu);

// Points one of this program's import slots elsewhere while it lives: the module's code is
// linked into the test program, so its calls of that function come here.
class CImportHook
{
public:
    CImportHook(const char *dll, const char *function, void *replacement);
    ~CImportHook();
    CImportHook(const CImportHook &) = delete;
    CImportHook &operator=(const CImportHook &) = delete;
    template <typename F>
    F Original() const { return reinterpret_cast<F>(m_original); }

private:
    void **m_slot;
    void *m_original = nullptr;
};

// While it lives, follows the module's file calls: every write (what and where), every flush,
// every path it opens or deletes, and for each deleted file its writes; lets no SHEmptyRecycleBinA
// or SHChangeNotify call reach the shell, but notes each. A call named in failing fails on its
// file, as on a failing disk, without reaching the system.
struct CFileCalls
{
    struct Write { std::string path; LONGLONG offset; DWORD size; BYTE first; bool uniform; }; // uniform: all bytes alike
    CFileCalls();
    ~CFileCalls();
    std::vector<Write> writes;
    Paths paths;
    std::map<std::string, size_t> writesBeforeDeletion;
    std::vector<std::pair<std::string, DWORD>> emptiedBins; // root and flags
    std::function<void(size_t)> onWrite;                    // after each write, with their number
    std::map<HANDLE, std::string> openForWriting;           // path by handle
    std::map<std::string, std::vector<size_t>> flushes;      // by path: the writes logged before each
    std::pair<std::string, std::string> failing;             // "WriteFile" or "FlushFileBuffers", and a path
    Paths updatedFolders;                                    // SHCNE_UPDATEDIR by path; other events as "?"
    CImportHook create, write, flush, remove, empty, notify; // last: gone first
};

// The pass count ("Slider") as the product's main program writes it. The maker's key goes with
// the object: the test prefix is the build tree's own, so nothing else lives there.
struct CPassSetting
{
    static constexpr const char *kKey = "Software\\Kessane\\Talmior 2004\\Secure";
    CPassSetting() = default;
    explicit CPassSetting(DWORD passes) { Set(REG_DWORD, &passes, sizeof(passes)); }
    ~CPassSetting() { SHDeleteKeyA(HKEY_CURRENT_USER, "Software\\Kessane"); }
    void Set(DWORD type, const void *data, DWORD size) { EXPECT_EQ(0, SHSetValueA(HKEY_CURRENT_USER, kKey, "Slider", type, data, size)); }
    void Remove() { SHDeleteValueA(HKEY_CURRENT_USER, kKey, "Slider"); }
};

// A program run to its end as another process, with what it printed.
struct RunResult { DWORD exitCode = 1; std::string output; };
RunResult RunProgram(const std::string &commandLine);

// Runs body on a thread of its own, in the multithreaded apartment if asked, and waits for it.
void OnAnotherThread(const std::function<void()> &body, bool multithreaded = false);

// No recycle folder on any drive but the sandbox drives: the cleaner empties those of every fixed drive.
bool NoBinOutsideTheSandbox();

// A registry key's keys and values below it: "sub\key\" for a key, "sub\key\name=text" for a
// REG_SZ value ("" names the default value), "sub\key\name:type" for others. view: 0, or
// KEY_WOW64_32KEY / KEY_WOW64_64KEY.
std::set<std::string> RegistryTree(HKEY root, const std::string &path, REGSAM view = 0);
std::string GuidText(REFGUID guid);
