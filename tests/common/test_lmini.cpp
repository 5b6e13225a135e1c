// INI object: the thirteen operations, their argument checks, reloading,
// and a set / delete / save / load round trip.
#include <string>

#include "common/test_log_helpers.hpp"
#include "tessivar/lmini.h"

namespace {

const char *const kSample =
    "top = 1\n"
    "name = \"  spaced  \"\n"
    "\n"
    "[Net]\n"
    "Host = example\n"
    "port = 8080\n"
    "; a comment\n"
    "[empty]\n"
    "[disk]\n"
    "path = /data\n";

class LmIniTest : public ::testing::Test {
protected:
    tvtest::ScratchDir dir;
    LmIni *ini = newIni();

    void TearDown() override
    {
        if (ini != nullptr) delIni(&ini);
    }
    std::string sample()
    {
        const std::string p = dir / "sample.ini";
        tvtest::writeText(p, kSample);
        return p;
    }
};

TEST_F(LmIniTest, NullArgumentsAreRefused)
{
    LmIni *const o = ini;
    ASSERT_NE(o, nullptr);
    EXPECT_EQ(o->dictionary, nullptr);
    EXPECT_STREQ(iniVersion(), "lmini version 1.0.1.1 2025-07-15 12:59:40");
    // Null object: one per kind of answer (-1 or a null text).
    EXPECT_EQ(o->_iniInit(nullptr, "x"), -1);
    EXPECT_EQ(o->_iniCreate(nullptr), -1);
    EXPECT_EQ(o->_iniSectionName(nullptr, 0), nullptr);
    EXPECT_EQ(o->_iniValue(nullptr, "net", "host", "d"), nullptr);

    // No dictionary held yet: the same answers, and nothing is saved.
    EXPECT_EQ(o->_iniRelease(o), -1);
    EXPECT_EQ(o->_iniSectionNumber(o), -1);
    EXPECT_EQ(o->_iniSectionKey(o, "net", 0), nullptr);
    EXPECT_EQ(o->_iniSetValue(o, "net", "host", "v"), -1);
    EXPECT_EQ(o->_iniSave(o, (dir / "out.ini").c_str()), -1);
    EXPECT_FALSE(std::filesystem::exists(dir / "out.ini"));

    // Null texts with a dictionary: refused, nothing changed.
    ASSERT_EQ(o->_iniInit(o, sample().c_str()), 0);
    EXPECT_EQ(o->_iniInit(o, nullptr), -1);
    EXPECT_NE(o->dictionary, nullptr);
    EXPECT_EQ(o->_iniSectionName(o, -1), nullptr);
    EXPECT_EQ(o->_iniSectionKey(o, "net", -1), nullptr);
    EXPECT_EQ(o->_iniFindKey(o, "net", nullptr), -1);
    EXPECT_EQ(o->_iniValue(o, "net", "host", nullptr), nullptr);
    EXPECT_EQ(o->_iniSetValue(o, "net", "host", nullptr), -1);
    EXPECT_EQ(o->_iniDeleteKey(o, nullptr, "host"), -1);
    EXPECT_EQ(o->_iniSave(o, nullptr), -1);
    EXPECT_STREQ(o->_iniValue(o, "net", "host", "d"), "example");

    EXPECT_EQ(delIni(nullptr), -1);
    LmIni *none = nullptr;
    EXPECT_EQ(delIni(&none), -1);
    EXPECT_EQ(delIni(&ini), 0);
    EXPECT_EQ(ini, nullptr);
}

TEST_F(LmIniTest, LoadFailures)
{
    EXPECT_EQ(ini->_iniInit(ini, (dir / "missing.ini").c_str()), -2);
    const std::string bad = dir / "bad.ini";
    tvtest::writeText(bad, "[ok]\nthis line is no entry\n");
    EXPECT_EQ(ini->_iniInit(ini, bad.c_str()), -3);
    EXPECT_EQ(ini->dictionary, nullptr);

    // A failed load after a good one leaves the loaded values readable.
    ASSERT_EQ(ini->_iniInit(ini, sample().c_str()), 0);
    EXPECT_EQ(ini->_iniInit(ini, (dir / "missing.ini").c_str()), -2);
    EXPECT_EQ(ini->_iniInit(ini, bad.c_str()), -3);
    EXPECT_STREQ(ini->_iniValue(ini, "net", "host", "d"), "example");
}

TEST_F(LmIniTest, ReadsValuesSectionsAndKeys)
{
    ASSERT_EQ(ini->_iniInit(ini, sample().c_str()), 0);
    EXPECT_EQ(ini->_iniPrint(ini), 0);
    EXPECT_STREQ(ini->_iniValue(ini, "", "top", "d"), "1");
    EXPECT_STREQ(ini->_iniValue(ini, "", "name", "d"), "  spaced  ");
    EXPECT_STREQ(ini->_iniValue(ini, "net", "host", "d"), "example");
    EXPECT_STREQ(ini->_iniValue(ini, "NET", "HOST", "d"), "example");
    const char *def = "fallback";
    EXPECT_EQ(ini->_iniValue(ini, "net", "missing", def), def);
    EXPECT_EQ(ini->_iniValue(ini, "", "host", def), def);

    EXPECT_EQ(ini->_iniFindKey(ini, "net", "port"), 1);
    EXPECT_EQ(ini->_iniFindKey(ini, "net", "top"), 0);
    EXPECT_EQ(ini->_iniFindKey(ini, "", "top"), 1);

    EXPECT_EQ(ini->_iniSectionNumber(ini), 3);
    EXPECT_STREQ(ini->_iniSectionName(ini, 0), "net");
    EXPECT_STREQ(ini->_iniSectionName(ini, 2), "disk");
    EXPECT_EQ(ini->_iniSectionName(ini, 3), nullptr);

    EXPECT_EQ(ini->_iniKeyNumber(ini, "Net"), 2);
    EXPECT_EQ(ini->_iniKeyNumber(ini, "empty"), 0);
    EXPECT_EQ(ini->_iniKeyNumber(ini, ""), 2);
    EXPECT_EQ(ini->_iniKeyNumber(ini, "nosuch"), 0);
    EXPECT_STREQ(ini->_iniSectionKey(ini, "net", 1), "port");
    EXPECT_EQ(ini->_iniSectionKey(ini, "net", 2), nullptr);
    EXPECT_EQ(ini->_iniSectionKey(ini, "empty", 0), nullptr);
    EXPECT_STREQ(ini->_iniSectionKey(ini, "", 1), "name");
    // "disk" is no prefix match for "di".
    EXPECT_EQ(ini->_iniSectionKey(ini, "di", 0), nullptr);
}

TEST_F(LmIniTest, SecondLoadReplacesTheDictionary)
{
    const std::string first = dir / "first.ini";
    const std::string second = dir / "second.ini";
    tvtest::writeText(first, "a = 1\n[s]\nx = 1\n");
    tvtest::writeText(second, "b = 2\n");
    ASSERT_EQ(ini->_iniInit(ini, first.c_str()), 0);
    ASSERT_EQ(ini->_iniInit(ini, second.c_str()), 0);
    EXPECT_STREQ(ini->_iniValue(ini, "", "a", "none"), "none");
    EXPECT_STREQ(ini->_iniValue(ini, "", "b", "none"), "2");
    EXPECT_EQ(ini->_iniSectionNumber(ini), 0);
    EXPECT_EQ(ini->_iniRelease(ini), 0);
    EXPECT_EQ(ini->_iniRelease(ini), -1);
}

TEST_F(LmIniTest, SetDeleteSaveLoadRoundTrip)
{
    ASSERT_EQ(ini->_iniCreate(ini), 0);
    ASSERT_NE(ini->dictionary, nullptr);
    EXPECT_EQ(ini->_iniSectionNumber(ini), 0);
    EXPECT_EQ(ini->_iniSetValue(ini, "", "record_switch", "ON"), 0);
    EXPECT_EQ(ini->_iniSetValue(ini, "", "log_level", "info"), 0);
    EXPECT_EQ(ini->_iniSetValue(ini, "Net", "Host", "first"), 0);
    EXPECT_EQ(ini->_iniSetValue(ini, "net", "host", "second"), 0);  // overwrite
    EXPECT_EQ(ini->_iniSetValue(ini, "net", "port", "80"), 0);
    EXPECT_EQ(ini->_iniSetValue(ini, "gone", "k", "v"), 0);
    EXPECT_EQ(ini->_iniSectionNumber(ini), 2);
    EXPECT_EQ(ini->_iniDeleteKey(ini, "net", "port"), 0);
    EXPECT_EQ(ini->_iniDeleteKey(ini, "", "log_level"), 0);
    EXPECT_EQ(ini->_iniDeleteKey(ini, "net", "never"), 0);
    EXPECT_EQ(ini->_iniFindKey(ini, "net", "port"), 0);

    const std::string out = dir / "out.ini";
    ASSERT_EQ(ini->_iniSave(ini, out.c_str()), 0);
    EXPECT_EQ(ini->_iniSave(ini, (dir / "no/such/folder.ini").c_str()), -2);

    LmIni *back = newIni();
    ASSERT_NE(back, nullptr);
    ASSERT_EQ(back->_iniInit(back, out.c_str()), 0);
    EXPECT_STREQ(back->_iniValue(back, "", "record_switch", "-"), "ON");
    EXPECT_STREQ(back->_iniValue(back, "", "log_level", "-"), "-");
    EXPECT_STREQ(back->_iniValue(back, "net", "host", "-"), "second");
    EXPECT_STREQ(back->_iniValue(back, "net", "port", "-"), "-");
    EXPECT_STREQ(back->_iniValue(back, "gone", "k", "-"), "v");
    EXPECT_EQ(back->_iniSectionNumber(back), 2);
    EXPECT_EQ(back->_iniKeyNumber(back, ""), 1);
    EXPECT_EQ(back->_iniKeyNumber(back, "net"), 1);
    EXPECT_EQ(delIni(&back), 0);

    // Create replaces a held dictionary by an empty one.
    ASSERT_EQ(ini->_iniCreate(ini), 0);
    EXPECT_EQ(ini->_iniFindKey(ini, "net", "host"), 0);
    EXPECT_EQ(ini->_iniKeyNumber(ini, ""), 0);
}

TEST(LmStrncasecmp, Cases)
{
    EXPECT_EQ(_lmstrncasecmp("Sec:key", "sec:", 4), 0);
    EXPECT_EQ(_lmstrncasecmp("abc", "ABD", 3), 'c' - 'd');
    EXPECT_EQ(_lmstrncasecmp("abZ", "ABa", 3), 'z' - 'a');
    EXPECT_EQ(_lmstrncasecmp("ab", "abcdef", 10), 0);   // shorter text decides
    EXPECT_EQ(_lmstrncasecmp("", "xyz", 3), 0);
    EXPECT_EQ(_lmstrncasecmp("abc", "xyz", 0), 0);
    EXPECT_EQ(_lmstrncasecmp(nullptr, "a", 1), -1);
}

}  // namespace
