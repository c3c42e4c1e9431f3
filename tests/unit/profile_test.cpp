// The profile service over one set of rule files: the Linux reader must give
// what the Windows program gets from the system for the same file.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "platform/platform.h"
#include "test_files.h"

namespace {

class ProfileTest : public ScratchFolderTest {
protected:
    std::string Value(const std::string& file, const std::string& section, const std::string& key,
                      const std::string& fallback = "<default>") {
        char buffer[2048];
        uint32_t length = SysGetPrivateProfileString(section, key, fallback, buffer, sizeof buffer, FullPath(file));
        EXPECT_EQ(buffer[length], '\0');
        // The service may keep the file until asked to drop it; the cases
        // rewrite their files.
        SysFlushPrivateProfile(FullPath(file));
        return std::string(buffer, length);
    }
    // The profile service takes full paths; the scratch folder is relative
    // to the current folder, wherever the test runs from.
    std::string FullPath(const std::string& file) { return std::filesystem::absolute(Path(file)).string(); }
};

TEST_F(ProfileTest, NamesValuesAndQuotes) {
    PutFile(Path("rules.ini"),
            "; a comment\r\n"
            "[Other]\r\n"
            "ColumnNo=9\r\n"
            "[ Spaced\t]\r\n"
            "Key=s\r\n"
            "[ASSORTRULES]\r\n"
            "  ColumnNo  =  3  \r\n"
            "BaseDir=\"quoted dir\"\r\n"
            "Default='single'\r\n"
            "Unmatched=\"abc\r\n"
            "Inner=\"a\"b\"\r\n"
            "Lone=\"\r\n"
            "Mixed=\"abc'\r\n"
            "Empty=\r\n"
            "NoEquals\r\n"
            ";Count=5\r\n"
            "Count = 2\r\n"
            "\tTabbed\t=\tv\t\r\n"
            "Spaced=a b  c\r\n"
            "colUMNno=7\r\n"
            "[AssortRules]\r\n"
            "Extra=1\r\n");
    struct Row {
        std::string section;
        std::string key;
        std::string value;
    };
    const Row rows[] = {
        {"AssortRules", "ColumnNo", "3"},  // names ignore case; blanks around go
        {"AssortRules", "columnno", "3"},  // the first key of a name wins
        {"AssortRules", "BaseDir", "quoted dir"},
        {"AssortRules", "Default", "single"},
        {"AssortRules", "Unmatched", "\"abc"},  // an unmatched quote stays
        {"AssortRules", "Inner", "a\"b"},
        {"AssortRules", "Lone", "\""},
        {"AssortRules", "Mixed", "\"abc'"},
        {"AssortRules", "Empty", ""},  // present and empty: not the default
        {"AssortRules", "NoEquals", "<default>"},
        {"AssortRules", ";Count", "5"},  // a semicolon is an ordinary character
        {"AssortRules", "Count", "2"},
        {"AssortRules", "Tabbed", "v"},
        {"AssortRules", "Spaced", "a b  c"},
        {"AssortRules", "Extra", "<default>"},  // a later section of the name is not read
        {"AssortRules", "Missing", "<default>"},
        {"Other", "ColumnNo", "9"},
        {"Spaced", "Key", "s"},
        {"Absent", "ColumnNo", "<default>"},
    };
    for (const Row& row : rows) EXPECT_EQ(Value("rules.ini", row.section, row.key), row.value) << row.key;
}

TEST_F(ProfileTest, LineEndsAndFileForms) {
    struct Row {
        std::string bytes;
        std::string value;
    };
    const Row rows[] = {
        {"[AssortRules]\nColumnNo=4", "4"},                                  // LF, no end at the end
        {"[AssortRules]\rColumnNo=5\r", "5"},                                // CR alone
        {"\xEF\xBB\xBF[AssortRules]\r\nColumnNo=6\r\n", "6"},                // a UTF-8 mark
        {std::string("[AssortRules]\r\nColumnNo=7") + '\0' + "8\r\n", "7"},  // NUL ends the value
        {"ColumnNo=1\r\n[AssortRules]\r\n", "<default>"},                    // before any section
        {"[AssortRules] trailing\r\nColumnNo=2\r\n", "2"},                   // text after "]"
        {"", "<default>"},
    };
    for (const Row& row : rows) {
        PutFile(Path("form.ini"), row.bytes);
        EXPECT_EQ(Value("form.ini", "AssortRules", "ColumnNo"), row.value) << row.bytes;
    }
    EXPECT_EQ(Value("missing.ini", "AssortRules", "ColumnNo"), "<default>");
    EXPECT_EQ(Value("missing.ini", "AssortRules", "ColumnNo", "dflt  "), "dflt");  // trailing blanks go
}

TEST_F(ProfileTest, LongValuesAreCutToTheBuffer) {
    std::string value(3000, 'v');
    PutFile(Path("long.ini"), "[AssortRules]\r\n001=[" + value + "]\r\n");
    EXPECT_EQ(Value("long.ini", "AssortRules", "001"), std::string("[").append(value, 0, 2046));
    char small[8];
    EXPECT_EQ(SysGetPrivateProfileString("AssortRules", "001", "", small, sizeof small, FullPath("long.ini")), 7u);
    EXPECT_EQ(std::string(small), "[vvvvvv");
}

TEST_F(ProfileTest, ShiftJisNamesAndValues) {
    // 東京 (0x93 0x8C 0x8B 0x9E) as a key name and a value. Names ignore the
    // case of ASCII letters only: a full-width Ａ does not match ａ.
    PutFile(Path("sjis.ini"),
            "[\x82\x60rea]\r\n"
            "\x93\x8C\x8B\x9E=\x93\x8C\x8B\x9E.csv\r\n"
            "\x83\x61=no\r\n");
    EXPECT_EQ(Value("sjis.ini", "\x82\x60rea", "\x93\x8C\x8B\x9E"), "\x93\x8C\x8B\x9E.csv");
    EXPECT_EQ(Value("sjis.ini", "\x82\x60REA", "\x93\x8C\x8B\x9E"), "\x93\x8C\x8B\x9E.csv");
    EXPECT_EQ(Value("sjis.ini", "\x82\x81rea", "\x93\x8C\x8B\x9E"), "<default>");
    // ア (0x83 0x41) and ヂ (0x83 0x61) differ only where ASCII letters would.
    EXPECT_EQ(Value("sjis.ini", "\x82\x60rea", "\x83\x41"), "<default>");
}

}  // namespace
