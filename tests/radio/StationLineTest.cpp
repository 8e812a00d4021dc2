#include "radio/StationLine.h"

#include <gtest/gtest.h>

namespace {

void expectParsed(const QString& line, const QString& name, const QString& url) {
    const Station s = parseStationLine(line);
    EXPECT_EQ(s.name, name) << line.toStdString();
    EXPECT_EQ(s.url, url) << line.toStdString();
}

} // namespace

TEST(StationLine, WrittenFormTakesBackToTheSameStation) {
    EXPECT_EQ(stationLine("Radio A", "http://a.example/x.m3u"), "Radio A ; http://a.example/x.m3u");
    EXPECT_EQ(stationLine("", ""), " ; ");
    const Station back = parseStationLine(stationLine("Radio A", "http://a.example/x"));
    EXPECT_EQ(back, (Station{"Radio A", "http://a.example/x"}));
}

TEST(StationLine, SplitsAtTheFirstSemicolonAndTrimsOnlyBlanks) {
    expectParsed("A;http://x/;y;z", "A", "http://x/;y;z");
    expectParsed("   Name   ;   url  ", "Name", "url");
    expectParsed(";http://x/", "", "http://x/");
    expectParsed("Name;", "Name", "");
    expectParsed("     ", "", "");
    expectParsed(" ; ", "", "");
    expectParsed("\tName\t; url\t", "\tName\t", "url\t");
}

TEST(StationLine, LineWithoutSemicolonIsBothNameAndUrl) {
    expectParsed("---------------", "---------------", "---------------");
    expectParsed("  http://x/  ", "http://x/", "http://x/");
}

TEST(StationLine, UrlIsCutAfterThousandCharactersBeforeTrimming) {
    const QString longUrl = QString(998, u'u') + QStringLiteral("  tail");
    expectParsed("N;" + longUrl, "N", QString(998, u'u'));
    expectParsed("N;" + QString(1000, u'v') + "w", "N", QString(1000, u'v'));
    // Characters outside the basic plane count once and are never cut in half.
    const QString clef = QString::fromUcs4(U"\U0001D11E");
    const Station s = parseStationLine("N;" + QString(999, u'x') + clef + clef);
    EXPECT_EQ(s.url, QString(999, u'x') + clef);
}
