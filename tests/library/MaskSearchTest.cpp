#include "library/MaskSearch.h"

#include <gtest/gtest.h>
#include <string>

namespace {

// The parsed list joined with "|".
std::string parse(const QString& text, bool wrap = true, bool caseSensitive = false) {
    QStringList list{QStringLiteral("left over")};
    parseMaskList(text, list, wrap, caseSensitive);
    return list.join('|').toStdString();
}

} // namespace

TEST(ParseMaskListTest, WrapsSplitsTrimsFoldsAndSorts) {
    EXPECT_EQ(parse("mp3"), "*mp3*");
    EXPECT_EQ(parse("song*"), "song*");
    EXPECT_EQ(parse("song?"), "song?*");
    EXPECT_EQ(parse("*.mp3"), "*.mp3");
    EXPECT_EQ(parse("mp3", false), "mp3");
    EXPECT_EQ(parse(""), "*");
    EXPECT_EQ(parse(" *.wav ,\t*.MP3;*.wav;"), "*.mp3|*.wav");
    EXPECT_EQ(parse("*.MP3;Song*", true, true), "*.MP3|Song*");
    // An empty piece is a mask too; wrapped, it matches everything.
    EXPECT_EQ(parse("*.mp3;;*.ogg"), "**|*.mp3|*.ogg");
    EXPECT_EQ(foldCase("ÄBc", false).toStdString(), "äbc");
}

TEST(MatchesMaskTest, FollowsTheMaskWithoutBacktracking) {
    struct Case {
        const char* name;
        const char* mask;
        bool exact;
        bool matches;
    };
    const Case cases[] = {
        {"noextension", "*", true, true},
        {"noextension", "*.*", true, true},
        {"song.mp3", "song.mp3", true, true},
        {"my song.mp3", "song.mp3", true, false},
        {"my song.mp3", "song.mp3", false, true},
        {"x.mp3", "*.mp?", true, true},
        {"x.mp", "*.mp?", true, false},
        {"x.mp34", "*.mp?", true, false},
        {"axxb", "a*b", true, true},
        {"ac", "a?c", true, false},
        {"abc", "a?c", true, true},
        {"a song", "song*", true, false},
        {"x.mp3", "*mp3*", true, true},
        // A literal after "*" binds to its first occurrence.
        {"x.mp3.mp3", "*.mp3", true, false},
        {"abcbc", "a*c", true, false},
        {"x.mp3.mp3", "*.mp3*", true, true},
    };
    for (const Case& c : cases)
        EXPECT_EQ(matchesMask(c.name, c.mask, c.exact), c.matches) << c.name << " / " << c.mask;
}

TEST(MatchesMaskListTest, FoldsTheNameAndTriesEveryMask) {
    QStringList masks;
    parseMaskList("*.mp3;*.wav", masks, true, false);
    EXPECT_TRUE(matchesMaskList("B.MP3", masks, true, false));
    EXPECT_TRUE(matchesMaskList("x.Wav", masks, true, false));
    EXPECT_FALSE(matchesMaskList("c.txt", masks, true, false));
    EXPECT_FALSE(matchesMaskList("B.MP3", masks, true, true));
    EXPECT_TRUE(matchesMaskList("", masks, true, false));
    EXPECT_FALSE(matchesMaskList("a.mp3", QStringList(), true, false));
}
