// The real window's shell: the icon in the corner, moving by the title, the notification-area icon
// and "Taskbar", the delete confirmation's buttons and files dropped on the song list.

#include "FormHarness.h"
#include "RenderSupport.h"
#include "support/SongFiles.h"
#include "ui/DropTarget.h"
#include "ui/Pictures.h"
#include "ui/QtDialogs.h"
#include "ui/TrayIcon.h"

#include <QAbstractButton>
#include <QApplication>
#include <QLabel>
#include <QListView>
#include <QMessageBox>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QTimer>
#include <QUrl>
#include <gtest/gtest.h>

namespace {

class ShellWindowTest : public ::testing::Test {
protected:
    void show() {
        form.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    }
    void mouse(QWidget* widget, QEvent::Type type, QPoint local, QPoint global, Qt::MouseButton button,
               Qt::MouseButtons held) {
        QMouseEvent event(type, QPointF(local), QPointF(global), button, held, Qt::NoModifier);
        QApplication::sendEvent(widget, &event);
    }

    FormHarness h;
    MainWindow& form = *h.form;
    Player& s = h.s();
    SongFiles files;
};

TEST(TaskBarTipTest, KeepsAtMost63CharactersUpToAZero) {
    const QString title =
        QStringLiteral("Interpret - Ein sehr langer Titel, der nicht in die Zeile passt (Remix)");
    EXPECT_EQ(taskBarTip(title), title.left(63));
    EXPECT_EQ(taskBarTip(QStringLiteral("kurz")), QStringLiteral("kurz"));
    // A character outside the basic plane counts once and is never split.
    const QString note = QString::fromUtf8("\xF0\x9D\x84\x9E");
    EXPECT_EQ(taskBarTip(note.repeated(70)), note.repeated(63));
    EXPECT_EQ(taskBarTip(QString(62, u'x') + note), QString(62, u'x') + note);
    EXPECT_EQ(taskBarTip(QStringLiteral("ab") + QChar(0) + "cd"), QStringLiteral("ab"));
}

TEST_F(ShellWindowTest, TheTipFollowsWhatPlays) {
    s.channel.tip = QString(64, u'T');
    EXPECT_EQ(form.trayIcon->tip(), QString(63, u'T'));
    s.channel.tip = QStringLiteral("<b>Sender</b> & Titel");
    EXPECT_EQ(form.trayIcon->tip(), QStringLiteral("<b>Sender</b> & Titel"));
}

TEST_F(ShellWindowTest, TheIconIsPaintedAtThreeThree) {
    show();
    const QImage shown = renderOf(*form.client);
    QImage expected(40, 40, QImage::Format_RGB32);
    expected.fill(form.client->palette().color(QPalette::Window));
    QPainter(&expected).drawPixmap(3, 3, programIcon().pixmap(32, 32));
    int differing = 0;
    for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 40; ++x)
            differing += pixelAt(shown, x, y) != pixelAt(expected, x, y);
    EXPECT_EQ(differing, 0);
    EXPECT_NE(pixelAt(shown, 19, 19), pixelAt(shown, 1, 1)); // the icon is not blank there
}

TEST_F(ShellWindowTest, DraggingTheTitleMovesTheWindow) {
    show();
    form.move(100, 80);
    const QPoint grip(20, 6);
    mouse(form.titleStrip, QEvent::MouseButtonPress, grip, form.titleStrip->mapToGlobal(grip), Qt::LeftButton,
          Qt::LeftButton);
    mouse(form.titleStrip, QEvent::MouseMove, grip, {600, 300}, Qt::NoButton, Qt::LeftButton);
    EXPECT_EQ(form.pos(), QPoint(600 - 20 - 152, 300 - 6));
    mouse(form.titleStrip, QEvent::MouseButtonRelease, grip, {600, 300}, Qt::LeftButton, Qt::NoButton);
    // Moving over the strip without a button does nothing.
    mouse(form.titleStrip, QEvent::MouseMove, grip, {200, 200}, Qt::NoButton, Qt::NoButton);
    EXPECT_EQ(form.pos(), QPoint(428, 294));
}

// Closing a hidden window does not end Qt's event loop by itself: the answer Yes must, after the
// shutdown has run.
TEST_F(ShellWindowTest, YesWhileHiddenShutsDownAndEndsTheProgram) {
    ASSERT_TRUE(h.start());
    show();
    form.trayIcon->activated(QSystemTrayIcon::Trigger);
    ASSERT_FALSE(form.isVisible());
    h.dialogs.answerYes = true;
    QTimer::singleShot(0, &form, [&] { form.trayIcon->activated(QSystemTrayIcon::Context); });
    QTimer::singleShot(20000, qApp, [] { QCoreApplication::exit(99); });
    EXPECT_EQ(QApplication::exec(), 0);
    EXPECT_TRUE(h.audioEngine.called("closeOutput"));
    EXPECT_EQ(h.mixer.muted, std::optional<bool>(false));
}

TEST_F(ShellWindowTest, TheQuitQuestionIsPlacedAndItsCancelKeepsTheProgram) {
    show();
    form.hide(); // in the notification area: the question is the only window
    bool lastClosed = false;
    const auto connection =
        QObject::connect(qApp, &QGuiApplication::lastWindowClosed, [&] { lastClosed = true; });
    QtDialogs dialogs(&form);
    std::vector<QPoint> places;
    const auto answerCancel = [&] {
        QTimer::singleShot(50, qApp, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box) return;
            places.push_back(box->pos());
            box->button(QMessageBox::Cancel)->click();
        });
    };
    answerCancel();
    EXPECT_FALSE(dialogs.askYesCancel(QStringLiteral("MP3 verlassen?"), {380, 250}));
    answerCancel();
    EXPECT_FALSE(dialogs.askYesCancel(QStringLiteral("MP3 verlassen?"), {-20, -60}));
    QApplication::processEvents();
    QObject::disconnect(connection);
    EXPECT_FALSE(lastClosed);
    ASSERT_EQ(places.size(), 2u);
    EXPECT_EQ(places[0], QPoint(380, 250));
    const QPoint centre = QApplication::primaryScreen()->geometry().center();
    EXPECT_LE((places[1] - centre).manhattanLength(), (QPoint(0, 0) - centre).manhattanLength() / 2);
}

// The tray sits in a corner: the question opens above and left of the pointer and must not be cut off
// by the screen's edge. Its buttons speak German.
TEST_F(ShellWindowTest, TheQuitQuestionSpeaksGermanAndStaysWhollyOnTheScreen) {
    QtDialogs dialogs(&form);
    const QRect screen = QApplication::primaryScreen()->availableGeometry();
    QStringList captions;
    QRect place;
    QTimer::singleShot(50, qApp, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box) return;
        for (QAbstractButton* button : box->buttons())
            captions << button->text();
        place = box->frameGeometry();
        box->button(QMessageBox::Cancel)->click();
    });
    const QPoint corner = screen.bottomRight() - QPoint(20, 10);
    EXPECT_FALSE(dialogs.askYesCancel(QStringLiteral("MP3 verlassen?"), corner - QPoint(120, 150)));
    captions.sort();
    EXPECT_EQ(captions, QStringList({"Abbrechen", "Ja"}));
    EXPECT_TRUE(screen.contains(place))
        << place.x() << "," << place.y() << " " << place.width() << "x" << place.height();
}

TEST_F(ShellWindowTest, EnterAnswersNeinAndJaDeletesTheFile) {
    const QStringList songs = files.make({"a.mp3", "b.mp3"});
    for (const QString& song : songs)
        form.player().songList.addSong(song);
    ASSERT_EQ(s.channel.playMode, PlayMode::Song);
    show();
    form.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&form));
    form.songListView->setFocus();

    QTest::keyClick(form.songListView, Qt::Key_Delete, Qt::ShiftModifier);
    ASSERT_TRUE(form.deletePanel->isVisible());
    EXPECT_EQ(form.deleteFileLabel->text(), QStringLiteral("a"));
    EXPECT_TRUE(form.noButton->hasFocus());
    QTest::keyClick(form.noButton, Qt::Key_Return);
    EXPECT_FALSE(form.deletePanel->isVisible());
    EXPECT_TRUE(form.songListView->hasFocus());
    EXPECT_TRUE(QFile::exists(songs[0]));

    QTest::keyClick(form.songListView, Qt::Key_Delete, Qt::ShiftModifier);
    ASSERT_TRUE(form.deletePanel->isVisible());
    QTest::mouseClick(form.yesButton, Qt::LeftButton);
    EXPECT_FALSE(form.deletePanel->isVisible());
    EXPECT_FALSE(QFile::exists(songs[0]));
    EXPECT_TRUE(QFile::exists(songs[1]));
    ASSERT_EQ(s.songList.songs.count(), 1);
    EXPECT_EQ(h.audioEngine.stream(s.channel.fileStream)->path, songs[1].toStdString());
}

TEST_F(ShellWindowTest, TwoMp3FilesDroppedOnTheSongListAreQueuedAndTheFirstPlays) {
    show();
    const QStringList dropped = files.make({"Erster.mp3", "notes.txt", "Zweiter.MP3"});
    QMimeData data;
    data.setUrls(
        {QUrl::fromLocalFile(dropped[0]), QUrl::fromLocalFile(dropped[1]), QUrl::fromLocalFile(dropped[2])});
    ASSERT_TRUE(data.hasFormat(QStringLiteral("text/uri-list")));
    QWidget* target = form.songListView->viewport();
    const QPoint at(40, 40);
    const Qt::DropActions offered = Qt::CopyAction | Qt::MoveAction;

    QDragEnterEvent enter(at, offered, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &enter);
    EXPECT_TRUE(enter.isAccepted());
    QDragMoveEvent move(at + QPoint(5, 5), offered, &data, Qt::LeftButton, Qt::ShiftModifier);
    QApplication::sendEvent(target, &move);
    EXPECT_EQ(move.dropAction(), Qt::CopyAction);
    QDropEvent drop(QPointF(at + QPoint(5, 5)), offered, &data, Qt::LeftButton, Qt::ShiftModifier);
    QApplication::sendEvent(target, &drop);
    EXPECT_TRUE(drop.isAccepted());
    EXPECT_EQ(drop.dropAction(), Qt::CopyAction);

    ASSERT_EQ(s.songList.songs.count(), 2);
    EXPECT_EQ(s.songList.songs.title(0), QStringLiteral("Erster"));
    EXPECT_EQ(s.songList.songs.title(1), QStringLiteral("Zweiter"));
    EXPECT_EQ(form.songListView->model()->rowCount(), 2);
    EXPECT_EQ(s.channel.playMode, PlayMode::Song);
    EXPECT_EQ(h.audioEngine.stream(s.channel.fileStream)->path, dropped[0].toStdString());
    EXPECT_TRUE(form.titleStrip->text().startsWith(QStringLiteral("Erster")))
        << form.titleStrip->text().toStdString();
}

} // namespace
