// File and text helpers: existence and folder tests, nested folder creation,
// trimming, and the local time text.
#include <ctime>
#include <string>

#include "common/test_log_helpers.hpp"
#include "tessivar/common.h"

namespace {

using tvtest::Captured;

class CommonHelpers : public ::testing::Test {
protected:
    tvtest::LogTestGuard guard;
    tvtest::ScratchDir dir;

    // The complaint of a helper about a null argument, at error level.
    static bool refusedByName(const std::string &function)
    {
        return Captured::countContaining("[E]{Unknown TAG}[" + function + "](") == 1 &&
               Captured::hasLineEnding(")Input parameter exception.\n");
    }
};

TEST_F(CommonHelpers, FileExistAndFileIsDir)
{
    const std::string plain = dir / "plain.txt";
    tvtest::writeText(plain, "x");
    EXPECT_EQ(fileExist(dir.path().c_str()), 1);
    EXPECT_EQ(fileExist((dir / "missing").c_str()), 0);
    EXPECT_TRUE(Captured::lines().empty());
    EXPECT_EQ(fileExist(nullptr), -1);
    EXPECT_TRUE(refusedByName("fileExist"));

    Captured::clear();
    EXPECT_EQ(fileIsDir(dir.path().c_str()), 1);
    EXPECT_EQ(fileIsDir(plain.c_str()), 0);
    EXPECT_TRUE(Captured::lines().empty());
    EXPECT_EQ(fileIsDir((dir / "missing").c_str()), -2);
    EXPECT_TRUE(Captured::hasLineEnding(")stat error(No such file or directory).\n"));
    Captured::clear();
    EXPECT_EQ(fileIsDir(nullptr), -1);
    EXPECT_TRUE(refusedByName("fileIsDir"));
}

TEST_F(CommonHelpers, CreateDirMakesEveryParent)
{
    const std::string nested = dir / "a/b/c";
    EXPECT_EQ(createDir(nested.c_str()), 0);
    EXPECT_TRUE(tvtest::isFolder(nested));
    EXPECT_EQ(createDir(nested.c_str()), 0);  // already there

    // Back slashes separate too and become '/'.
    const std::string back = dir.path() + "/x\\y\\z";
    EXPECT_EQ(createDir(back.c_str()), 0);
    EXPECT_TRUE(tvtest::isFolder(dir / "x/y/z"));

    // The path is trimmed; a trailing separator is harmless.
    EXPECT_EQ(createDir(("  \t" + dir.path() + "/t/u/  ").c_str()), 0);
    EXPECT_TRUE(tvtest::isFolder(dir / "t/u"));

    EXPECT_EQ(createDir("   "), 0);
    EXPECT_TRUE(Captured::lines().empty());
}

TEST_F(CommonHelpers, CreateDirFailures)
{
    const std::string plain = dir / "plain.txt";
    tvtest::writeText(plain, "x");
    EXPECT_EQ(createDir((plain + "/sub").c_str()), -4);  // the last part
    EXPECT_TRUE(Captured::hasLineEnding(")mkdir error(Not a directory).\n"));
    Captured::clear();
    EXPECT_EQ(createDir((plain + "/sub/deeper").c_str()), -3);  // a parent
    EXPECT_EQ(Captured::countContaining("[E]{Unknown TAG}["), 1);
    EXPECT_TRUE(Captured::hasLineEnding(")mkdir error(Not a directory).\n"));
    Captured::clear();
    EXPECT_EQ(createDir(nullptr), -1);
    EXPECT_TRUE(refusedByName("createDir"));
}

TEST_F(CommonHelpers, StringTrimmed)
{
    char text[] = " \t ab c \r\n";
    EXPECT_EQ(stringTrimmed(text), text);
    EXPECT_STREQ(text, "ab c");
    char blank[] = " \t\n ";
    EXPECT_STREQ(stringTrimmed(blank), "");
    EXPECT_TRUE(Captured::lines().empty());
    EXPECT_EQ(stringTrimmed(nullptr), nullptr);
    EXPECT_TRUE(refusedByName("stringTrimmed"));
}

// The local time in the layout "yyyy-mm-dd HH:MM:SS".
std::string localNow()
{
    const std::time_t now = std::time(nullptr);
    std::tm local;
    localtime_r(&now, &local);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &local);
    return text;
}

TEST_F(CommonHelpers, SystemTime)
{
    char buffer[32];
    EXPECT_EQ(systemTime(buffer, 18), nullptr);
    EXPECT_TRUE(refusedByName("systemTime"));

    // 19 is accepted but leaves no room for the last digit.
    std::memset(buffer, 'z', sizeof buffer);
    EXPECT_EQ(systemTime(buffer, 19), buffer);
    EXPECT_EQ(std::strlen(buffer), 18u);
    EXPECT_EQ(buffer[19], 'z');

    const std::string before = localNow();
    EXPECT_EQ(systemTime(buffer, 20), buffer);
    const std::string after = localNow();
    EXPECT_TRUE(before == buffer || after == buffer) << buffer;
}

}  // namespace
