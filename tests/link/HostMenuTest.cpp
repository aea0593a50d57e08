// Both Secure Delete handlers in one menu of another process, from the real module file.
#include <gtest/gtest.h>

#include "../recycle/ShellHostRun.h"
#include "support/TestSupport.h"

using Paths = std::vector<std::string>;

namespace {

const char kMenuText[] = "Talmior 2005 Trial Secure Delete";

class LinkHost : public ::testing::Test
{
protected:
    void SetUp() override
    {
        const std::string folder = sandbox::FreshFolder("link-host");
        m_selected = {folder + "\\Dc1.txt", folder + "\\Dc2.txt"};
        for (const std::string &file : m_selected)
            sandbox::WriteFileBytes(file, "selected");
        m_neighbour = folder + "\\neighbour.txt";
        sandbox::WriteFileBytes(m_neighbour, "neighbour");
    }
    void TearDown() override { sandbox::RemoveTree("S:\\link-host"); }

    std::string Selection() const { return m_selected[0] + " " + m_selected[1]; }

    Paths m_selected;
    std::string m_neighbour;
};

} // namespace

TEST_F(LinkHost, EitherOrderLeavesOneSecureDeleteItem)
{
    for (const char *order : {"both-delete-first", "both-link-first"}) {
        HostResult menu = RunShellHost(std::string("--handler ") + order + " --menu-only " + Selection());
        EXPECT_EQ(menu.exitCode, 0u) << menu.output;
        EXPECT_EQ(HostMenuItems(menu.output), Paths({kMenuText})) << order << "\n" << menu.output;
    }
}

TEST_F(LinkHost, TheRemainingItemDeletesTheSelectionOnlyWhenConfirmed)
{
    HostResult declined = RunShellHost("--handler both-delete-first --answer cancel " + Selection());
    EXPECT_EQ(declined.exitCode, 0u) << declined.output;
    for (const std::string &file : m_selected)
        EXPECT_TRUE(sandbox::Exists(file)) << file;

    HostResult confirmed = RunShellHost("--handler both-delete-first --answer ok " + Selection());
    EXPECT_EQ(confirmed.exitCode, 0u) << confirmed.output;
    for (const std::string &file : m_selected)
        EXPECT_FALSE(sandbox::Exists(file)) << file;
    EXPECT_EQ(sandbox::ReadFileBytes(m_neighbour), "neighbour");
}
