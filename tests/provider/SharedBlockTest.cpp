// The shared block: its text encoding, and the refusal of files in the shared temporary folder
// that somebody else could have planted.
#include "KestrelProcess.h"

#include "permutor/provider/SharedBlock.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include <sys/stat.h>
#include <unistd.h>

using namespace permutor::provider;
using kestreltest::TTestFolder;

namespace {

TEST(SharedBlockTest, TextIsOneBigEndianUnitPerCharacterEndedByZeroAndCutToItsArea) {
    TTestFolder folder;
    TSharedBlock block;
    ASSERT_TRUE(block.Open(folder.BlockPath())) << block.Error();
    // "é" is one character (U+00E9): one unit 00 E9; "€" (U+20AC) keeps only its low byte.
    block.WriteText(cRequestTextOffset, cRequestTextBytes, "A\xC3\xA9\xE2\x82\xAC");
    EXPECT_EQ(block.ReadText(cRequestTextOffset, cRequestTextBytes, 100), "A\xC3\xA9\xC2\xAC");
    // Bytes 00 41 00 E9, then 00 AC 00 00.
    EXPECT_EQ(std::uint32_t(block.ReadInt(cRequestTextOffset)), 0xE9004100u);
    EXPECT_EQ(std::uint32_t(block.ReadInt(cRequestTextOffset + 4)), 0x0000AC00u);

    // Another mapping of the same file sees the same bytes.
    block.WriteText(cResponseTextOffset, cResponseTextBytes, "Az");
    TSharedBlock second;
    ASSERT_TRUE(second.Open(folder.BlockPath()));
    EXPECT_EQ(second.ReadText(cResponseTextOffset, cResponseTextBytes, cResponseReadUnits), "Az");
    EXPECT_EQ(second.ReadInt(cResponseTextOffset), std::int32_t(0x7A004100));

    // A text longer than its area keeps the last unit for the zero.
    block.WriteText(cResponseTextOffset, 8, "ABCDEFGH");
    EXPECT_EQ(block.ReadText(cResponseTextOffset, 8, 100), "ABC");
    // The reader stops at its unit limit and at the end of the block.
    block.WriteText(cResponseTextOffset, cResponseTextBytes, "ABCDEFGH");
    EXPECT_EQ(block.ReadText(cResponseTextOffset, cResponseTextBytes, 5), "ABCDE");
    block.WriteText(cBlockSize - 4, 100, "XYZ");
    EXPECT_EQ(block.ReadText(cBlockSize - 4, 100, 100), "X");
    // Slots outside the block or not on a slot boundary read 0 and are not written.
    block.WriteInt(cBlockSize, 7);
    block.WriteInt(cBlockSize - 2, 7);
    EXPECT_EQ(block.ReadInt(cBlockSize), 0);
    EXPECT_EQ(block.ReadInt(cBlockSize - 2), 0);
    block.WriteInt(cSlot_AckStatus, -12345);
    EXPECT_EQ(second.ReadInt(cSlot_AckStatus), -12345);
}

TEST(SharedBlockTest, TheFolderIsTempThenTmpdirThenTmp) {
    const char* temp = std::getenv("TEMP");
    const char* tmpdir = std::getenv("TMPDIR");
    const std::string savedTemp = temp ? temp : "", savedTmpdir = tmpdir ? tmpdir : "";
    ::setenv("TEMP", "/a/b", 1);
    ::setenv("TMPDIR", "/c", 1);
    EXPECT_EQ(SharedBlock_DefaultPath(), "/a/b/8E64136C-43BD-4974-84B5-289AD12E902B.map");
    ::unsetenv("TEMP");
    EXPECT_EQ(SharedBlock_Folder(), "/c");
    ::unsetenv("TMPDIR");
    EXPECT_EQ(SharedBlock_DefaultPath(), "/tmp/8E64136C-43BD-4974-84B5-289AD12E902B.map");
    if (temp)
        ::setenv("TEMP", savedTemp.c_str(), 1);
    if (tmpdir)
        ::setenv("TMPDIR", savedTmpdir.c_str(), 1);
}

TEST(SharedBlockTest, ANewBlockIsPrivateAndAShortOneIsGrownToTheFullSize) {
    TTestFolder folder;
    {
        TSharedBlock block;
        ASSERT_TRUE(block.Open(folder.BlockPath())) << block.Error();
    }
    struct stat info {};
    ASSERT_EQ(::stat(folder.BlockPath().c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
    EXPECT_EQ(info.st_size, off_t(cBlockSize));

    ASSERT_EQ(::truncate(folder.BlockPath().c_str(), 100), 0);
    TSharedBlock block;
    ASSERT_TRUE(block.Open(folder.BlockPath())) << block.Error();
    ASSERT_EQ(::stat(folder.BlockPath().c_str(), &info), 0);
    EXPECT_EQ(info.st_size, off_t(cBlockSize));
    block.WriteInt(cResponseTextOffset + cResponseTextBytes - 4, 9);
    EXPECT_EQ(block.ReadInt(cResponseTextOffset + cResponseTextBytes - 4), 9);

    // Cut short under the mapping: noticed, and nothing more is touched.
    EXPECT_TRUE(block.StillWhole());
    ASSERT_EQ(::truncate(folder.BlockPath().c_str(), 4096), 0);
    EXPECT_FALSE(block.StillWhole());
}

TEST(SharedBlockTest, SymbolicLinksOtherKindsOfFileAndOtherUsersFilesAreRefusedWithTheReason) {
    TTestFolder folder;
    const std::string target = folder.Write("elsewhere", "precious");
    ASSERT_EQ(::symlink(target.c_str(), folder.BlockPath().c_str()), 0);
    TSharedBlock block;
    EXPECT_FALSE(block.Open(folder.BlockPath()));
    EXPECT_NE(block.Error().find("symbolic link"), std::string::npos) << block.Error();
    EXPECT_FALSE(block.IsOpen());
    EXPECT_EQ(block.ReadInt(0), 0);
    block.WriteText(cRequestTextOffset, cRequestTextBytes, "x"); // a closed block ignores writes
    EXPECT_EQ(kestreltest::fs::file_size(target), 8u);

    ::unlink(folder.BlockPath().c_str());
    ASSERT_EQ(::mkdir(folder.BlockPath().c_str(), 0700), 0);
    EXPECT_FALSE(block.Open(folder.BlockPath()));
    EXPECT_FALSE(block.Error().empty());
    ::rmdir(folder.BlockPath().c_str());

    struct stat info {};
    info.st_mode = S_IFREG | 0600;
    info.st_uid = 1000;
    EXPECT_EQ(SharedBlock_Refusal(info, 1000), "");
    EXPECT_EQ(SharedBlock_Refusal(info, 1001), "it belongs to user 1000, not to user 1001");
    info.st_mode = S_IFIFO | 0600;
    EXPECT_EQ(SharedBlock_Refusal(info, 1000), "it is not a regular file");

    // A real foreign file, where the tests may make one.
    if (::geteuid() != 0)
        GTEST_SKIP() << "only root can give a file to another user";
    folder.Write("8E64136C-43BD-4974-84B5-289AD12E902B.map", std::string(16, 'x'));
    ASSERT_EQ(::chown(folder.BlockPath().c_str(), 65534, 65534), 0);
    EXPECT_FALSE(block.Open(folder.BlockPath()));
    EXPECT_NE(block.Error().find("belongs to user 65534"), std::string::npos) << block.Error();
    EXPECT_EQ(kestreltest::fs::file_size(folder.BlockPath()), 16u); // not grown, not touched
}

} // namespace
