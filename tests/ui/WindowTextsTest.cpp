// The window's texts as a user reads them (offscreen, fake engine): the title strip and the bitrate
// never touch, every caption fits its control, the grey is the system grey, the hint for a long title
// holds its whole text and goes away with the pointer, the tray tip is one line of plain text.

#include "FormHarness.h"
#include "RenderSupport.h"
#include "support/SongFiles.h"
#include "ui/SongListView.h"
#include "ui/TrayIcon.h"

#include <QAbstractButton>
#include <QApplication>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QStyle>
#include <QTest>
#include <QTextDocument>
#include <QToolTip>
#include <gtest/gtest.h>

namespace {

class WindowTextsTest : public ::testing::Test {
protected:
    void show() {
        form.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    }
    // The first or last pixel column of a label holding dark text, in window coordinates; -1 for none.
    static int inkColumn(QLabel* label, bool last) {
        const QImage image = renderOf(*label);
        int found = -1;
        for (int x = 0; x < image.width(); ++x)
            for (int y = 0; y < image.height(); ++y)
                if (QColor(pixelAt(image, x, y)).lightness() < 100) {
                    if (found < 0 || last) found = x;
                    break;
                }
        return found < 0 ? -1 : label->x() + found;
    }
    void hoverSongRow(int row) {
        const QRect rect = form.songListView->visualRect(s.songList.songs.index(row));
        // Qt reports no move to where the pointer already is.
        QTest::mouseMove(form.songListView->viewport(), QPoint(50 + (moves_++ % 2), rect.center().y()));
        QApplication::processEvents();
    }

    FormHarness h;
    MainWindow& form = *h.form;
    Player& s = h.s();
    SongFiles files;
    int moves_ = 0;
};

TEST_F(WindowTextsTest, TheTitleNeverTouchesTheBitrate) {
    show();
    s.channel.titleStrip = QStringLiteral("03 Ein sehr langer Titel, der bis an den Rand reicht [00:20]");
    for (const char* bitrate : {"129", "320", " - "}) {
        s.channel.bitrateLabel = QString::fromLatin1(bitrate);
        const int titleEnd = inkColumn(form.titleStrip, true);
        const int bitrateStart = inkColumn(form.bitrateLabel, false);
        ASSERT_GT(titleEnd, 0);
        ASSERT_GT(bitrateStart, 0);
        EXPECT_GE(bitrateStart - titleEnd, 5) << bitrate;
    }
}

TEST_F(WindowTextsTest, EveryCaptionFitsItsControlAndGreyIsTheSystemGrey) {
    // The panels' controls are made when a panel first shows.
    s.editor.panelVisible = true;
    s.editor.entryPanelVisible = true;
    s.deletion.panelVisible = true;
    for (QAbstractButton* button : form.findChildren<QAbstractButton*>()) {
        if (button->text().isEmpty()) continue;
        int needed = button->sizeHint().width();
        if (qobject_cast<QPushButton*>(button)) {
            // A push button's size hint has a minimum width of the style's; the caption is what counts.
            QString caption = button->text();
            caption.remove(u'&');
            needed = button->fontMetrics().horizontalAdvance(caption) +
                     2 * (button->style()->pixelMetric(QStyle::PM_ButtonMargin) / 2 +
                          button->style()->pixelMetric(QStyle::PM_DefaultFrameWidth));
        }
        EXPECT_LE(needed, button->width()) << button->text().toStdString();
    }
    // The station editor's column does not cover its text field.
    EXPECT_LT(form.stationEditorText->geometry().right(), form.updateStationsButton->x());
    EXPECT_LE(form.updateStationsButton->geometry().right(), form.radioPanel->width());

    const QColor systemGrey(0x80, 0x80, 0x80);
    EXPECT_EQ(form.trayLabel->palette().color(QPalette::WindowText), systemGrey);
    EXPECT_EQ(form.sortByNameLabel->palette().color(QPalette::WindowText), systemGrey);
}

TEST_F(WindowTextsTest, TheHintHoldsTheWholeTitleOnTheScreenAndGoesWithThePointer) {
    const QString title = QStringLiteral("03 Ein sehr langer Titel, der nicht in die Liste passt (Remix)");
    s.channel.playMode = PlayMode::Song; // queued, not played
    form.player().songList.addSong(files.make({title + ".mp3"})[0]);
    form.player().songList.addSong(files.make({"kurz.mp3"})[0]);
    show();

    const QRect screen = form.screen()->availableGeometry();
    const auto expectWholeText = [&] {
        QLabel* hint = form.titleHint;
        ASSERT_TRUE(hint->isVisible());
        EXPECT_EQ(hint->text(), title);
        EXPECT_GE(hint->contentsRect().width(), hint->fontMetrics().horizontalAdvance(title));
        EXPECT_TRUE(screen.contains(hint->geometry())) << hint->geometry().x() << "," << hint->geometry().y();
        // Right-aligned with the window where the screen allows.
        const int windowRight = form.client->mapToGlobal(QPoint(form.client->width(), 0)).x();
        EXPECT_EQ(hint->geometry().right() + 1, std::min(windowRight, screen.right() + 1));
    };
    hoverSongRow(0);
    expectWholeText();
    hoverSongRow(1);
    EXPECT_FALSE(form.titleHint->isVisible()) << "a short title needs no hint";

    // The pointer leaves the list.
    hoverSongRow(0);
    ASSERT_TRUE(form.titleHint->isVisible());
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(form.songListView->viewport(), &leave);
    EXPECT_FALSE(form.titleHint->isVisible());
    // The station list covers the song list.
    hoverSongRow(0);
    ASSERT_TRUE(form.titleHint->isVisible());
    s.radio.stationListVisible = true;
    EXPECT_FALSE(form.titleHint->isVisible());
    s.radio.stationListVisible = false;
    // The window goes into the notification area.
    hoverSongRow(0);
    ASSERT_TRUE(form.titleHint->isVisible());
    form.hide();
    EXPECT_FALSE(form.titleHint->isVisible());
}

TEST_F(WindowTextsTest, TheTrayTipIsOneLineOfPlainText) {
    const auto shownTip = [&](const QString& title) -> QLabel* {
        s.channel.tip = title;
        QToolTip::showText(QPoint(100, 100), form.trayIcon->toolTip());
        QLabel* label = nullptr;
        (void)QTest::qWaitFor(
            [&] {
                for (QWidget* w : QApplication::topLevelWidgets())
                    if (w->objectName() == QStringLiteral("qtooltip_label") && w->isVisible())
                        label = qobject_cast<QLabel*>(w);
                return label != nullptr;
            },
            5000);
        return label;
    };
    for (const QString& title :
         {QStringLiteral("Interpret - Ein Titel mit 29"),
          QStringLiteral("<b>Sender</b> & ein Titel, der wie Markup aussieht"), QString(63, u'W')}) {
        QLabel* label = shownTip(title);
        ASSERT_NE(label, nullptr) << title.toStdString();
        QTextDocument shown;
        shown.setHtml(label->text());
        EXPECT_EQ(Qt::mightBeRichText(label->text()) ? shown.toPlainText() : label->text(), title);
        EXPECT_LT(label->height(), 2 * label->fontMetrics().lineSpacing()) << title.toStdString();
        EXPECT_GE(label->width(), label->fontMetrics().horizontalAdvance(title)) << title.toStdString();
        QToolTip::hideText();
    }
}

} // namespace
