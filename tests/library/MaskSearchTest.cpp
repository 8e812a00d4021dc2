#include "library/MaskSearch.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

using Strings = std::vector<std::string>;

Strings parse(const QString& text, bool wrap = true, bool caseSensitive = false) {
    QStringList list{QStringLiteral("left over")};
    ParseMaskList(text, list, wrap, caseSensitive);
    Strings out;
    for (const QString& s : list) out.push_back(s.toStdString());
    return out;
}

} // namespace

TEST(ParseMaskList, WrapsBareWordsAndPatternsWithoutExtension) {
    EXPECT_EQ(parse("mp3"), Strings{"*mp3*"});
    EXPECT_EQ(parse("song*"), Strings{"song*"});
    EXPECT_EQ(parse("song?"), Strings{"song?*"});
    EXPECT_EQ(parse("*.mp3"), Strings{"*.mp3"});
    EXPECT_EQ(parse("song.*"), Strings{"song.*"});
    EXPECT_EQ(parse("mp3", false), Strings{"mp3"});
}

TEST(ParseMaskList, SplitsTrimsSortsAndDropsDuplicates) {
    EXPECT_EQ(parse(""), Strings{"*"});
    EXPECT_EQ(parse(" *.wav ,\t*.mp3;*.wav"), (Strings{"*.mp3", "*.wav"}));
    // An empty piece is a mask too: wrapped, it matches everything.
    EXPECT_EQ(parse("*.mp3;;*.ogg"), (Strings{"**", "*.mp3", "*.ogg"}));
    EXPECT_EQ(parse("*.mp3;;*.ogg", false), (Strings{"", "*.mp3", "*.ogg"}));
    EXPECT_EQ(parse("*.mp3;"), Strings{"*.mp3"});
}

TEST(ParseMaskList, FoldsCaseUnlessCaseSensitive) {
    EXPECT_EQ(parse("*.MP3;Song*"), (Strings{"*.mp3", "song*"}));
    EXPECT_EQ(parse("*.MP3;Song*", true, true), (Strings{"*.MP3", "Song*"}));
    EXPECT_EQ(FoldCase("ÄBc", false).toStdString(), "äbc");
    EXPECT_EQ(FoldCase("ÄBc", true).toStdString(), "ÄBc");
}

TEST(MatchMask, StarAndStarDotStarMatchEverything) {
    for (const char* name : {"x.mp3", "noextension", ".hidden", "a.b.c"}) {
        EXPECT_TRUE(MatchMask(name, "*", true)) << name;
        EXPECT_TRUE(MatchMask(name, "*.*", true)) << name;
    }
}

TEST(MatchMask, WithoutWildcardsExactMeansEqualElseContained) {
    EXPECT_TRUE(MatchMask("song.mp3", "song.mp3", true));
    EXPECT_FALSE(MatchMask("my song.mp3", "song.mp3", true));
    EXPECT_TRUE(MatchMask("my song.mp3", "song.mp3", false));
    EXPECT_FALSE(MatchMask("song.mp", "song.mp3", false));
}

TEST(MatchMask, Wildcards) {
    EXPECT_TRUE(MatchMask("x.mp3", "*.mp?", true));
    EXPECT_FALSE(MatchMask("x.mp", "*.mp?", true));
    EXPECT_FALSE(MatchMask("x.mp34", "*.mp?", true));
    EXPECT_TRUE(MatchMask("axxb", "a*b", true));
    EXPECT_TRUE(MatchMask("ab", "a*b", true));
    EXPECT_FALSE(MatchMask("ac", "a?c", true));
    EXPECT_TRUE(MatchMask("abc", "a?c", true));
    EXPECT_TRUE(MatchMask("song one.mp3", "song*", true));
    EXPECT_FALSE(MatchMask("a song", "song*", true));
    EXPECT_TRUE(MatchMask("x.mp3", "*mp3*", true));
}

TEST(MatchMask, LiteralAfterStarTakesItsFirstOccurrenceOnly) {
    EXPECT_FALSE(MatchMask("x.mp3.mp3", "*.mp3", true));
    EXPECT_FALSE(MatchMask("abcbc", "a*c", true));
    EXPECT_TRUE(MatchMask("abcbc", "a*c*", true));
    EXPECT_TRUE(MatchMask("x.mp3.mp3", "*.mp3*", true));
}

TEST(MatchesMaskList, FoldsTheNameAndTriesEveryMask) {
    QStringList masks;
    ParseMaskList("*.mp3;*.wav", masks, true, false);
    EXPECT_TRUE(MatchesMaskList("B.MP3", masks, true, false));
    EXPECT_TRUE(MatchesMaskList("x.Wav", masks, true, false));
    EXPECT_FALSE(MatchesMaskList("c.txt", masks, true, false));
    EXPECT_FALSE(MatchesMaskList("B.MP3", masks, true, true));
    EXPECT_TRUE(MatchesMaskList("", masks, true, false));
    EXPECT_FALSE(MatchesMaskList("a.mp3", QStringList(), true, false));
}
