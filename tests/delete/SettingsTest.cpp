#include <gtest/gtest.h>

#include "delete/COrvexDeleteFile.h"

namespace {

const char kKeyPath[] = "Software\\Kessane\\Talmior 2004\\Secure";

// Removes the settings key and the parents it created, leaving any parent that holds more.
void RemoveSettingsKey()
{
    RegDeleteKeyA(HKEY_CURRENT_USER, kKeyPath);
    RegDeleteKeyA(HKEY_CURRENT_USER, "Software\\Kessane\\Talmior 2004");
    RegDeleteKeyA(HKEY_CURRENT_USER, "Software\\Kessane");
}

void WriteSlider(DWORD type, const void *data, DWORD size)
{
    HKEY key = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_CURRENT_USER, kKeyPath, 0, nullptr, 0, KEY_WRITE, nullptr, &key,
                                             nullptr));
    const LONG result = RegSetValueExA(key, "Slider", 0, type, static_cast<const BYTE *>(data), size);
    RegCloseKey(key);
    ASSERT_EQ(ERROR_SUCCESS, result);
}

void WriteSlider(DWORD value)
{
    WriteSlider(REG_DWORD, &value, sizeof(value));
}

class PassCountSetting : public ::testing::Test
{
protected:
    void SetUp() override
    {
        RemoveSettingsKey();
        m_handler = new COrvexDeleteFile;
        m_handler->AddRef();
    }
    void TearDown() override
    {
        m_handler->Release();
        RemoveSettingsKey();
    }

    UINT Load()
    {
        EXPECT_EQ(S_OK, m_handler->LoadSettings());
        return m_handler->m_passCount;
    }

    COrvexDeleteFile *m_handler = nullptr;
};

} // namespace

TEST_F(PassCountSetting, NoKeyMeansOnePass)
{
    EXPECT_EQ(0u, m_handler->m_passCount);
    EXPECT_EQ(1u, Load());
}

TEST_F(PassCountSetting, DwordValuesInsideTheRangeAreTakenOthersMeanOnePass)
{
    const struct
    {
        DWORD stored;
        UINT expected;
    } cases[] = {{7, 7}, {1, 1}, {32, 32}, {33, 1}, {0, 1}, {0xFFFFFFFF, 1}};
    for (const auto &c : cases) {
        m_handler->m_passCount = 12;
        WriteSlider(c.stored);
        EXPECT_EQ(c.expected, Load()) << "Slider = " << c.stored;
    }
}

TEST_F(PassCountSetting, ValuesOfAnotherTypeMeanOnePass)
{
    WriteSlider(REG_SZ, "5", 2);
    EXPECT_EQ(1u, Load()) << "a string holding 5";
    const DWORD five = 5;
    WriteSlider(REG_BINARY, &five, sizeof(five));
    EXPECT_EQ(1u, Load()) << "four binary bytes holding 5";
    WriteSlider(REG_DWORD, &five, 2);
    EXPECT_EQ(1u, Load()) << "a short DWORD";
}

TEST_F(PassCountSetting, MissingValueInAnExistingKeyMeansOnePass)
{
    WriteSlider(9);
    EXPECT_EQ(9u, Load());
    HKEY key = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_CURRENT_USER, kKeyPath, 0, KEY_WRITE, &key));
    RegDeleteValueA(key, "Slider");
    RegCloseKey(key);
    EXPECT_EQ(1u, Load());
}

TEST_F(PassCountSetting, DeletedKeyKeepsTheLastValueRead)
{
    WriteSlider(7);
    EXPECT_EQ(7u, Load());
    RemoveSettingsKey();
    EXPECT_EQ(7u, Load());

    COrvexDeleteFile *fresh = new COrvexDeleteFile;
    fresh->AddRef();
    fresh->LoadSettings();
    EXPECT_EQ(1u, fresh->m_passCount) << "a fresh handler without the key";
    fresh->Release();
}
