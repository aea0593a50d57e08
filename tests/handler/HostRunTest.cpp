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

} // namespace

// Each run starts from the same files and bins; a bin's desktop.ini always stays. The Windows 9x
// family tries "recycled" before "recycler", the NT family the other way round.
TEST(ShellHost, EndToEndRuns)
{
    ASSERT_TRUE(NoBinOutsideTheSandbox());
    const std::string sel = "S:\\host\\Dc1.txt S:\\host\\Dc2.doc";
    const WPaths selected = {L"S:\\host\\Dc1.txt", L"S:\\host\\Dc2.doc"};
    const WPaths bins = {L"S:\\recycler\\S-1-5-21-9\\", L"S:\\recycled\\", L"T:\\recycler\\S-1-5-21-9\\"};
    const WPaths made = {selected[0], selected[1], L"S:\\host\\neighbour.txt", bins[0] + L"Dc1.txt", bins[1] + L"Dc2.txt",
                         bins[2] + L"Dc3\\Dc4.txt"};
    const struct { const char *label; std::string arguments; bool windows98; DWORD exitCode; Paths menu; WPaths gone; } rows[] = {
        {"declined", "--answer cancel S:\\host\\Dc1.txt", false, 1, {}, {}},
        {"through the registry", "--register --answer ok " + sel, false, 0, {}, selected},
        {"both handlers: one item", "--handler both-link-first --menu-only " + sel, false, 0, {kItem}, {}},
        {"both handlers, confirmed", "--handler both-delete-first --answer ok " + sel, false, 0, {}, selected},
        {"Recycle Bin menu", "--recycle --menu-only", false, 0, {kBinItem}, {}},
        {"Recycle Bin, confirmed", "--recycle --answer ok", false, 0, {}, {made[3], made[5]}},
        {"Recycle Bin on Windows 98", "--recycle --answer ok", true, 0, {}, {made[4], made[5]}},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.label);
        for (const std::wstring &path : made)
            sandbox::Make(path);
        for (const std::wstring &bin : bins)
            sandbox::Make(bin + L"desktop.ini", "[.ShellClassInfo]");
        if (row.windows98) {
            ASSERT_EQ(ERROR_SUCCESS, SHSetValueA(HKEY_CURRENT_USER, kProbeKey, "Version", REG_SZ, "win98", 6));
        }
        // With --register the host creates the handlers through the registry only, or fails.
        const RunResult run = RunProgram("b:\\shellhost.exe --dll b:\\OrvexSE.dll " + row.arguments);
        SHDeleteKeyA(HKEY_CURRENT_USER, kProbeKey);

        EXPECT_EQ(row.exitCode, run.exitCode) << run.output;
        EXPECT_TRUE(row.menu.empty() || row.menu == HostMenuItems(run.output)) << run.output;
        for (const std::wstring &path : made) {
            const bool goes = std::find(row.gone.begin(), row.gone.end(), path) != row.gone.end();
            EXPECT_EQ(!goes, sandbox::Exists(path)) << sandbox::Narrow(path);
        }
        for (const std::wstring &bin : bins)
            EXPECT_EQ("[.ShellClassInfo]", sandbox::Read(bin + L"desktop.ini"));
    }
    for (const wchar_t *path : {L"S:\\host", L"S:\\recycler", L"S:\\recycled", L"T:\\recycler"})
        sandbox::Remove(path);
}
