#include <gtest/gtest.h>

#include "common/ComPtr.h"
#include "delete/COrvexDeleteFile.h"

namespace {

const char kKeyPath[] = "Software\\Kessane\\Talmior 2004\\Secure";

// Removes the settings key and the parents it created, leaving any parent that holds more.
void RemoveSettingsKey()
{
    for (const char *key : {kKeyPath, "Software\\Kessane\\Talmior 2004", "Software\\Kessane"})
        RegDeleteKeyA(HKEY_CURRENT_USER, key);
}

class PassCountSetting : public ::testing::Test
{
protected:
    void SetUp() override { RemoveSettingsKey(); }
    void TearDown() override { RemoveSettingsKey(); }

    static void WriteSlider(DWORD type, const void *data, DWORD size)
    {
        HKEY key = nullptr;
        ASSERT_EQ(ERROR_SUCCESS,
                  RegCreateKeyExA(HKEY_CURRENT_USER, kKeyPath, 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr));
        const LONG result = RegSetValueExA(key, "Slider", 0, type, static_cast<const BYTE *>(data), size);
        RegCloseKey(key);
        ASSERT_EQ(ERROR_SUCCESS, result);
    }
    UINT Load()
    {
        EXPECT_EQ(S_OK, m_handler->LoadSettings());
        return m_handler->m_passCount;
    }

    CComPtr<COrvexDeleteFile> m_handler{new COrvexDeleteFile};
};

} // namespace

TEST_F(PassCountSetting, DwordsFromOneToThirtyTwoAreTakenAnythingElseMeansOnePass)
{
    EXPECT_EQ(0u, m_handler->m_passCount);
    EXPECT_EQ(1u, Load()) << "no key";
    const DWORD values[] = {7, 1, 32, 33, 0, 0xFFFFFFFF, 5};
    const struct
    {
        DWORD type;
        const void *data;
        DWORD size;
        UINT expected;
    } rows[] = {
        {REG_DWORD, &values[0], 4, 7},  {REG_DWORD, &values[1], 4, 1},  {REG_DWORD, &values[2], 4, 32},
        {REG_DWORD, &values[3], 4, 1},  {REG_DWORD, &values[4], 4, 1},  {REG_DWORD, &values[5], 4, 1},
        {REG_SZ, "5", 2, 1},            {REG_BINARY, &values[6], 4, 1}, {REG_DWORD, &values[6], 2, 1},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(testing::Message() << "type " << row.type << ", " << row.size << " bytes, row "
                                        << (&row - rows));
        m_handler->m_passCount = 12;
        WriteSlider(row.type, row.data, row.size);
        EXPECT_EQ(row.expected, Load());
    }
}

TEST_F(PassCountSetting, MissingValueMeansOnePassAndADeletedKeyKeepsTheLastValueRead)
{
    const DWORD nine = 9, seven = 7;
    WriteSlider(REG_DWORD, &nine, sizeof(nine));
    EXPECT_EQ(9u, Load());
    HKEY key = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_CURRENT_USER, kKeyPath, 0, KEY_WRITE, &key));
    RegDeleteValueA(key, "Slider");
    RegCloseKey(key);
    EXPECT_EQ(1u, Load()) << "the key without its value";

    WriteSlider(REG_DWORD, &seven, sizeof(seven));
    EXPECT_EQ(7u, Load());
    RemoveSettingsKey();
    EXPECT_EQ(7u, Load()) << "the key deleted";
    m_handler = new COrvexDeleteFile;
    EXPECT_EQ(1u, Load()) << "a fresh handler without the key";
}
