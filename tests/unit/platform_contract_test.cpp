// The contract of the platform layer: the same cases run against whichever
// backend was built (Linux, and Windows under Wine), so the Linux backend is
// held to what Windows does.
#include <gtest/gtest.h>

#include <initializer_list>
#include <string>

#include "files/file_system.h"
#include "platform/platform.h"
#include "test_files.h"
#include "unit_support.h"

namespace {

class PlatformContract : public ScratchFolderTest {};

SysHandle Open(const std::string& name, uint32_t access, uint32_t disposition = kOpenExisting) {
    return SysCreateFile(name, access, kShareRead, disposition, kAttributeNormal);
}

TEST_F(PlatformContract, ShareModesRefuseASecondWriterWith32) {
    std::string name = Path("held.csv");
    PutFile(name, "x\r\n");
    SysHandle reader = Open(name, kGenericRead);
    ASSERT_NE(reader, kInvalidHandle);
    // Reading is shared; writing is not, whichever handle asks second.
    SysHandle secondReader = Open(name, kGenericRead);
    EXPECT_NE(secondReader, kInvalidHandle);
    SysCloseHandle(secondReader);
    EXPECT_EQ(Open(name, kGenericRead | kGenericWrite), kInvalidHandle);
    EXPECT_EQ(SysLastError(), kErrorSharingViolation);
    // Opening a held file for writing fails, and leaves it as it was.
    EXPECT_EQ(Open(name, kGenericWrite, kOpenAlways), kInvalidHandle);
    EXPECT_EQ(SysLastError(), kErrorSharingViolation);
    EXPECT_EQ(FileBytes(name), "x\r\n");
    // A held file cannot be deleted either.
    EXPECT_FALSE(SysDeleteFile(name));
    EXPECT_EQ(SysLastError(), kErrorSharingViolation);
    SysCloseHandle(reader);

    SysHandle writer = Open(name, kGenericRead | kGenericWrite);
    ASSERT_NE(writer, kInvalidHandle);
    EXPECT_EQ(Open(name, kGenericRead), kInvalidHandle);
    EXPECT_EQ(SysLastError(), kErrorSharingViolation);
    SysCloseHandle(writer);
    EXPECT_TRUE(SysDeleteFile(name));
}

TEST_F(PlatformContract, MissingNamesGiveTheirCodes) {
    struct Row {
        std::string name;
        uint32_t code;
    };
    const Row rows[] = {
        {Path("missing.csv"), kErrorFileNotFound},
        {Path("no-such-folder\\missing.csv"), kErrorPathNotFound},
        // "*" and "?" match names in a search only; no file is named so.
        {Path("a?.csv"), kErrorInvalidName},
        {Path("a*.csv"), kErrorInvalidName},
        // A network name names no file here (Wine has no network; Linux
        // would otherwise take it for "/server/share").
        {"\\\\server\\share\\a.csv", kErrorPathNotFound},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(Open(row.name, kGenericRead), kInvalidHandle) << row.name;
        EXPECT_EQ(SysLastError(), row.code) << row.name;
        EXPECT_FALSE(SysDeleteFile(row.name)) << row.name;
        EXPECT_EQ(SysLastError(), row.code) << row.name;
        EXPECT_EQ(SysGetFileAttributes(row.name), kInvalidAttributes) << row.name;
    }
    // Creating a file in a folder that does not exist: 3; with a pattern
    // character in its name: 123, and nothing is made.
    EXPECT_EQ(Open(Path("no-such-folder\\new.csv"), kGenericWrite, kOpenAlways), kInvalidHandle);
    EXPECT_EQ(SysLastError(), kErrorPathNotFound);
    EXPECT_EQ(Open(Path("new?.csv"), kGenericWrite, kOpenAlways), kInvalidHandle);
    EXPECT_EQ(SysLastError(), kErrorInvalidName);
    EXPECT_FALSE(SysCreateDirectory(Path("new*")));
    EXPECT_EQ(SysLastError(), kErrorInvalidName);
    EXPECT_EQ(SysGetFileAttributes(Path("new*")), kInvalidAttributes);
}

TEST_F(PlatformContract, FoldersAreNotFiles) {
    std::string folder = Path("sub");
    ASSERT_TRUE(SysCreateDirectory(folder));
    EXPECT_FALSE(SysCreateDirectory(folder));
    EXPECT_EQ(SysLastError(), kErrorAlreadyExists);
    EXPECT_NE(SysGetFileAttributes(folder) & kAttributeDirectory, 0u);
    EXPECT_EQ(Open(folder, kGenericRead | kGenericWrite), kInvalidHandle);
    EXPECT_EQ(SysLastError(), kErrorAccessDenied);
    EXPECT_FALSE(SysDeleteFile(folder));
    EXPECT_EQ(SysLastError(), kErrorAccessDenied);
}

// Devices are read here: the Linux program writes only regular files.
TEST_F(PlatformContract, DevicesHaveTheCharacterType) {
    SysHandle null = SysCreateFile("Z:\\dev\\null", kGenericRead, kShareRead, kOpenExisting, kAttributeNormal);
    ASSERT_NE(null, kInvalidHandle);
    EXPECT_EQ(SysGetFileType(null), SysFileType::Char);
    SysCloseHandle(null);

    std::string name = Path("disk.csv");
    PutFile(name, "x");
    SysHandle disk = Open(name, kGenericRead);
    EXPECT_EQ(SysGetFileType(disk), SysFileType::Disk);
    SysCloseHandle(disk);
}

TEST_F(PlatformContract, SizesAndPositions) {
    std::string name = Path("sized.csv");
    PutFile(name, std::string(300, 'a') + "XYZ");
    SysHandle file = Open(name, kGenericRead);
    uint64_t size = 0;
    ASSERT_TRUE(SysGetFileSize(file, &size));
    EXPECT_EQ(size, 303u);
    ASSERT_TRUE(SysSetFilePointer(file, 300));
    char bytes[8] = {};
    uint32_t delivered = 0;
    ASSERT_TRUE(SysReadFile(file, bytes, sizeof bytes, &delivered));
    EXPECT_EQ(std::string(bytes, delivered), "XYZ");
    ASSERT_TRUE(SysReadFile(file, bytes, sizeof bytes, &delivered));
    EXPECT_EQ(delivered, 0u);
    SysCloseHandle(file);
}

TEST_F(PlatformContract, SizesFollowWritesThroughAnyHandle) {
    std::string name = Path("growing.csv");
    PutFile(name, "abc");
    uint32_t both = kShareRead | kShareWrite;
    SysHandle reader = SysCreateFile(name, kGenericRead, both, kOpenExisting, kAttributeNormal);
    SysHandle writer = SysCreateFile(name, kGenericRead | kGenericWrite, both, kOpenExisting, kAttributeNormal);
    ASSERT_NE(reader, kInvalidHandle);
    ASSERT_NE(writer, kInvalidHandle);
    uint64_t size = 0;
    ASSERT_TRUE(SysGetFileSize(writer, &size));
    EXPECT_EQ(size, 3u);
    ASSERT_TRUE(SysSetFilePointer(writer, 3));
    uint32_t written = 0;
    ASSERT_TRUE(SysWriteFile(writer, "defg", 4, &written));
    ASSERT_TRUE(SysGetFileSize(writer, &size));
    EXPECT_EQ(size, 7u);
    ASSERT_TRUE(SysGetFileSize(reader, &size));
    EXPECT_EQ(size, 7u);
    SysCloseHandle(reader);
    SysCloseHandle(writer);
}

TEST_F(PlatformContract, SearchFindsTheFirstMatch) {
    PutFile(Path("b.csv"), "");
    PutFile(Path("a.csv"), "");
    SysCreateDirectory(Path("dir.txt"));
    SysFindData found;
    SysHandle search = SysFindFirstFile(Path("*.csv"), &found);
    ASSERT_NE(search, kInvalidHandle);
    EXPECT_EQ(found.attributes & kAttributeDirectory, 0u);
    SysFindClose(search);
    search = SysFindFirstFile(Path("?.csv"), &found);
    ASSERT_NE(search, kInvalidHandle);
    SysFindClose(search);
    search = SysFindFirstFile(Path("*.txt"), &found);
    ASSERT_NE(search, kInvalidHandle);
    EXPECT_NE(found.attributes & kAttributeDirectory, 0u);
    SysFindClose(search);
    EXPECT_EQ(SysFindFirstFile(Path("*.none"), &found), kInvalidHandle);
    // "." leads a search of everything, so such a pattern finds a folder first.
    search = SysFindFirstFile(Path("*"), &found);
    ASSERT_NE(search, kInvalidHandle);
    EXPECT_NE(found.attributes & kAttributeDirectory, 0u);
    SysFindClose(search);
}

// Two texts, and whether they are equal ignoring case.
struct CompareRow {
    const char* first;
    const char* second;
    bool equal;
    const char* why;
};

// Texts found equal also have equal keys, so that a find by key meets them.
void ExpectEqualIgnoringCase(std::initializer_list<CompareRow> rows) {
    for (const CompareRow& row : rows) {
        EXPECT_EQ(SysCompareString(true, row.first, row.second) == 2, row.equal) << row.why;
        std::string first;
        std::string second;
        ASSERT_TRUE(SysCompareKey(row.first, first) && SysCompareKey(row.second, second)) << row.why;
        if (row.equal) {
            EXPECT_EQ(first, second) << row.why;
        }
    }
}

TEST(PlatformText, ComparisonIgnoresCaseOnly) {
    ExpectEqualIgnoringCase({
        {"abc", "ABC", true, "ASCII case"},
        {"abc", "abc ", false, "a trailing blank counts"},
        {"", "", true, "two empty texts"},
        {"\x82\x60", "\x82\x81", true, "full-width A and a"},
        {"\x82\x60", "A", false, "width counts"},
        {"\x83\x41", "\x82\xA0", false, "katakana a and hiragana a"},
        {"\xB1", "\x83\x41", false, "half-width and full-width katakana"},
        {"\x83\x9F", "\x83\xBF", true, "Greek alpha, both cases"},
        {"\x84\x40", "\x84\x70", true, "Cyrillic A, both cases"},
        {"\x84\x60", "\x84\x91", true, "Cyrillic YA, both cases"},
        {"\x87\x54", "\xFA\x4A", true, "Roman numeral one: NEC row 13 and IBM"},
        {"\x87\x54", "\xFA\x40", true, "Roman numeral one and small one"},
        {"\xED\x40", "\xFA\x5C", true, "NEC-selected IBM extension and IBM extension"},
        {"\x81\xCA", "\xEE\xF9", true, "the not sign"},
        {"\x82\x4F", "0", false, "full-width digit"},
        {"\x93\x8C\x8B\x9E", "\x93\x8C\x8B\x9E", true, "the same kanji"},
        {"\x93\x8C", "\x8B\x9E", false, "different kanji"},
        {"Area0123456789xy", "AREA0123456789XY", true, "case across words of eight bytes"},
        {"abcdefgh", "abcdefgi", false, "the eighth byte"},
        {"abcdefghi", "abcdefghj", false, "the ninth byte"},
        {"12345678@", "12345678`", false, "@ and ` are no letters"},
        {"x[", "x{", false, "[ and { are no letters"},
        {"Z^", "z^", true, "Z and z"},
        {"1234567\x82\x60", "1234567\x82\x81", true, "a full-width letter across the word end"},
        {"ABCDEFGH\x82\x60", "abcdefgh\x82\x81", true, "ASCII words then a full-width letter"},
        {"ABCDEFGH\x82\x60", "abcdefgh\x82\x61", false, "full-width A and B after ASCII words"},
    });
    EXPECT_EQ(SysCompareString(false, "abc", "ABC") == 2, false);
    EXPECT_EQ(SysCompareString(false, "\x87\x54", "\xFA\x4A"), 2);
}

TEST(PlatformText, LowerCasingKeepsSecondBytes) {
    struct Row {
        std::string text;
        std::string lowered;
    };
    const Row rows[] = {
        {"ABC\x83\x41", "abc\x83\x41"},            // ア keeps its second byte 0x41
        {"\x82\x60\x82\x79", "\x82\x81\x82\x9A"},  // full-width A and Z
        {"\x83\x9F", "\x83\xBF"},                  // Greek alpha
        {"\x84\x4E\x84\x4F", "\x84\x7E\x84\x80"},  // Cyrillic: the small letters skip 0x847F
        {"\x95\x5C\x5A", "\x95\x5C\x7A"},          // 表 then Z
        {"\xB1Z", "\xB1z"},                        // half-width katakana is single-byte
    };
    for (const Row& row : rows) {
        std::string text = row.text;
        SysCharLowerBuff(text.data(), static_cast<uint32_t>(text.size()));
        EXPECT_EQ(text, row.lowered);
    }
}

TEST(PlatformText, LeadBytesOfCodePage932) {
    uint8_t ranges[12] = {};
    ASSERT_EQ(SysLeadByteRanges(ranges), 2);
    EXPECT_EQ(ranges[0], 0x81);
    EXPECT_EQ(ranges[1], 0x9F);
    EXPECT_EQ(ranges[2], 0xE0);
    EXPECT_EQ(ranges[3], 0xFC);
}

TEST(PlatformProcess, ModuleFileNameIsAWindowsPath) {
    char path[261];
    uint32_t length = SysGetModuleFileName(path, sizeof path);
    ASSERT_GT(length, 3u);
    EXPECT_EQ(std::string(path, 3).substr(1), ":\\");
    EXPECT_EQ(std::string(path, length).find('/'), std::string::npos);
    char tiny[6];
    EXPECT_EQ(SysGetModuleFileName(tiny, sizeof tiny), 5u);
    EXPECT_EQ(tiny[5], '\0');
}

}  // namespace
