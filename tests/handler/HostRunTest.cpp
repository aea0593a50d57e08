// The whole way a shell goes, in a process of its own: the module file (or its registration),
// the class objects, a drop list, a real menu, the item invoked by its offset, the dialogs
// answered as a user answers them.
#include "support/TestSupport.h"

namespace {

const char kItem[] = "Talmior 2005 Trial Secure Delete";
const char kBinItem[] = "Empty Recycle Bin(s) With Talmior 2005 Trial Secure Delete";
const char kProbeKey[] = "Software\\Wine\\AppDefaults\\shellhost.exe";

// The menu items the host printed ("  [id] text"), in menu order.
Paths HostMenuItems(const std::string &output)
{
    Paths items;
    for (size_t at = output.find("  ["); at != std::string::npos; at = output.find("  [", at + 1)) {
        const size_t text = output.find("] ", at) + 2, end = output.find_first_of("\r\n", at);
        items.push_back(output.substr(text, end - text));
    }
    return items;
}

bool Registered()
{
    return KeyExists(HKEY_CLASSES_ROOT, "CLSID\\" + GuidText(CLSID_CCOrvexDeleteFile) + "\\InprocServer32");
}

} // namespace

TEST(ShellHost, EndToEndRuns)
{
    ASSERT_TRUE(NoBinOutsideTheSandbox());
    const std::string sel = "S:\\host\\Dc1.txt S:\\host\\Dc2.doc";
    const WPaths selected = {L"S:\\host\\Dc1.txt", L"S:\\host\\Dc2.doc"};
    // The Windows 9x family tries "recycled" before "recycler", the NT family the other way round.
    const WPaths ntBins = {L"S:\\recycler\\S-1-5-21-9\\Dc1.txt", L"T:\\recycler\\S-1-5-21-9\\Dc3\\Dc4.txt"};
    const WPaths otherBins = {L"S:\\recycled\\Dc2.txt", L"T:\\recycler\\S-1-5-21-9\\Dc3\\Dc4.txt"};
    const struct
    {
        const char *label;
        std::string arguments;
        bool windows98;
        DWORD exitCode;
        Paths menu; // with --menu-only
        WPaths gone;
    } rows[] = {
        {"declined", "--answer cancel S:\\host\\Dc1.txt", false, 1, {}, {}},
        {"confirmed", "--answer ok " + sel, false, 0, {}, selected},
        {"through the registry", "--register --answer ok " + sel, false, 0, {}, selected},
        {"both handlers, Secure Delete first", "--handler both-delete-first --menu-only " + sel, false, 0, {kItem}, {}},
        {"both handlers, shell link first", "--handler both-link-first --menu-only " + sel, false, 0, {kItem}, {}},
        {"both handlers, confirmed", "--handler both-delete-first --answer ok " + sel, false, 0, {}, selected},
        {"Recycle Bin menu", "--recycle --menu-only", false, 0, {kBinItem}, {}},
        {"Recycle Bin, confirmed", "--recycle --answer ok", false, 0, {}, ntBins},
        {"Recycle Bin on Windows 98", "--recycle --answer ok", true, 0, {}, otherBins},
    };
    const bool registeredBefore = Registered();
    for (const auto &row : rows) {
        SCOPED_TRACE(row.label);
        const WPaths made = {L"S:\\host\\Dc1.txt", L"S:\\host\\Dc2.doc", L"S:\\host\\neighbour.txt",
                             L"S:\\recycler\\S-1-5-21-9\\Dc1.txt", L"S:\\recycled\\Dc2.txt",
                             L"T:\\recycler\\S-1-5-21-9\\Dc3\\Dc4.txt"};
        for (const std::wstring &path : made)
            sandbox::Make(path);
        for (const wchar_t *bin : {L"S:\\recycler\\S-1-5-21-9\\", L"S:\\recycled\\", L"T:\\recycler\\S-1-5-21-9\\"})
            sandbox::Make(std::wstring(bin) + L"desktop.ini", "[.ShellClassInfo]");
        if (row.windows98) {
            ASSERT_EQ(ERROR_SUCCESS, SHSetValueA(HKEY_CURRENT_USER, kProbeKey, "Version", REG_SZ, "win98", 6));
        }
        // With --register the host creates the handlers through the registry only, or fails.
        const RunResult run = row.arguments.find("--register") == std::string::npos
                                  ? RunHost(row.arguments)
                                  : RunProgram("b:\\shellhost.exe " + row.arguments);
        SHDeleteKeyA(HKEY_CURRENT_USER, kProbeKey);

        EXPECT_EQ(row.exitCode, run.exitCode) << run.output;
        if (!row.menu.empty()) {
            EXPECT_EQ(row.menu, HostMenuItems(run.output)) << run.output;
        }
        for (const std::wstring &path : made) {
            const bool goes = std::find(row.gone.begin(), row.gone.end(), path) != row.gone.end();
            EXPECT_EQ(!goes, sandbox::Exists(path)) << sandbox::Narrow(path);
        }
        for (const wchar_t *bin : {L"S:\\recycler\\S-1-5-21-9\\", L"S:\\recycled\\", L"T:\\recycler\\S-1-5-21-9\\"})
            EXPECT_EQ("[.ShellClassInfo]", sandbox::Read(std::wstring(bin) + L"desktop.ini"));
        EXPECT_EQ(registeredBefore, Registered()) << "the registration is as the host found it";
    }
    for (const wchar_t *path : {L"S:\\host", L"S:\\recycler", L"S:\\recycled", L"T:\\recycler"})
        sandbox::Remove(path);
}
