// The pure rules of playback: durations, bitrate, the radio title, fitting titles, the volume formula.

#include "library/TitleFit.h"
#include "playback/Duration.h"
#include "playback/StreamTitle.h"
#include "playback/VolumeControl.h"
#include "support/QtPrinters.h"

#include <gtest/gtest.h>

namespace {

TEST(DurationTest, FormatsMinutesAndHoursRoundingHalfToEven) {
    EXPECT_EQ(formatDuration(0.5), QStringLiteral("00:00"));
    EXPECT_EQ(formatDuration(1.5), QStringLiteral("00:02"));
    EXPECT_EQ(formatDuration(59.5), QStringLiteral("01:00"));
    EXPECT_EQ(formatDuration(75), QStringLiteral("01:15"));
    EXPECT_EQ(formatDuration(3725), QStringLiteral("1:02:05"));
    EXPECT_EQ(formatDuration(36000), QStringLiteral("10:00:00"));
    EXPECT_EQ(formatDuration(-1), QStringLiteral("00:00"));
    EXPECT_EQ(twoDigits(QStringLiteral("7")), QStringLiteral("07"));
    EXPECT_EQ(twoDigits(QString()), QStringLiteral("00"));
    EXPECT_EQ(twoDigits(QStringLiteral("123")), QStringLiteral("123"));
}

TEST(DurationTest, BitrateIsTheWholeFileOverItsDuration) {
    EXPECT_EQ(formatBitrate(4'000'000, 250), QStringLiteral("128"));
    EXPECT_EQ(formatBitrate(1'000, 0), QStringLiteral(" - "));
    EXPECT_EQ(formatBitrate(1'000, -1), QStringLiteral(" - "));
}

TEST(StreamTitleTest, TakesTheTitleOutOfTheMetadata) {
    EXPECT_EQ(streamTitleFromMetadata(QStringLiteral("StreamTitle='Artist - Song';StreamUrl='';")),
              QStringLiteral("Artist - Song  "));
    EXPECT_EQ(streamTitleFromMetadata(QStringLiteral("StreamTitle='';StreamUrl='';")), QStringLiteral("  "));
    EXPECT_EQ(streamTitleFromMetadata(QString()), QStringLiteral("  "));
    // Without the quote-semicolon end the text ends one character before the first ";".
    EXPECT_EQ(streamTitleFromMetadata(QStringLiteral("abc;def")), QStringLiteral("ab  "));
    EXPECT_EQ(streamTitleFromMetadata(QStringLiteral(";abc")), QStringLiteral(";abc  "));
    // Only the first line feed and the first carriage return go.
    EXPECT_EQ(streamTitleFromMetadata(QStringLiteral("StreamTitle='a\nb\nc\r\rd';")),
              QStringLiteral("ab\nc\rd  "));
}

TEST(StreamTitleTest, ASemicolonInsideTheTitleKeepsTheWholeTitle) {
    EXPECT_EQ(streamTitleFromMetadata(QStringLiteral("StreamTitle='A;B';")), QStringLiteral("A;B  "));
    EXPECT_EQ(streamTitleFromMetadata(QStringLiteral("StreamTitle='Rock 'n' Roll; Teil 2';StreamUrl='x';")),
              QStringLiteral("Rock 'n' Roll; Teil 2  "));
}

TEST(TitleFitTest, KeepsTheEndOrTheBeginningBelowTheLimit) {
    const TextWidth perChar = [](const QString& t) { return static_cast<int>(t.size()) * 10; };
    // 51 characters are 510 pixels: no wider than 512, unchanged.
    const QString fits(51, u'a');
    EXPECT_EQ(fitKeepingEnd(fits, perChar), fits);
    EXPECT_EQ(fitKeepingStart(fits, perChar), fits);

    const QString text = QStringLiteral("0123456789abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ");
    const QString right = fitKeepingEnd(text, perChar);
    EXPECT_TRUE(right.startsWith(QStringLiteral(" ..")));
    EXPECT_TRUE(text.endsWith(right.mid(3)));
    EXPECT_LT(perChar(right), titleLimit);
    EXPECT_GE(perChar(right), titleLimit - 10);

    const QString left = fitKeepingStart(text, perChar);
    EXPECT_TRUE(left.endsWith(QStringLiteral("..")));
    EXPECT_TRUE(text.startsWith(left.chopped(2)));
    EXPECT_LT(perChar(left), titleLimit);
}

TEST(TitleFitTest, EndsEvenWhenNothingFits) {
    const TextWidth huge = [](const QString& t) { return t.isEmpty() ? 0 : 10000; };
    EXPECT_EQ(fitKeepingEnd(QStringLiteral("x"), huge), QStringLiteral(" .."));
    EXPECT_EQ(fitKeepingStart(QStringLiteral("x"), huge), QStringLiteral(".."));
    EXPECT_EQ(fitKeepingEnd(QStringLiteral("a long title"), huge), QStringLiteral(" .."));
}

TEST(VolumeFormulaTest, TableAndTiesToEven) {
    EXPECT_EQ(outputVolume(30, 30), 1);
    EXPECT_EQ(outputVolume(20, 30), 1);
    EXPECT_EQ(outputVolume(60, 20), 60);
    EXPECT_EQ(outputVolume(80, 45), 52);
    EXPECT_EQ(outputVolume(97, 30), 100);
    EXPECT_EQ(outputVolume(100, 30), 100);
    // 1.5 x 25 = 37.5 -> 38 and 1.5 x 27 = 40.5 -> 40.
    EXPECT_EQ(outputVolume(25, 0), 38);
    EXPECT_EQ(outputVolume(27, 0), 40);
    EXPECT_EQ(outputVolume(40, 21), 60 - 32);
    EXPECT_EQ(outputVolume(40, 23), 60 - 34);
}

} // namespace
