// The "Playliste" button's menu in the window, and the playlist dialogs and messages shown with Qt.

#include "library/PlaylistFiles.h"
#include "platform/InstanceChannel.h"
#include "support/Fakes.h"
#include "support/QtPrinters.h"
#include "ui/MainWindow.h"
#include "ui/QtDialogs.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

namespace {

TEST(PlaylistMenuTest, ButtonOpensTheMenuBesideItAndItsItemsAskForAFile) {
    FakeAudioEngine audioEngine;
    FakeMixer mixer;
    FakeHotKeys hotKeys;
    FakeDialogs dialogs;
    InstanceChannel channel(QStringLiteral("playlist-menu-test"));
    MainWindow window(PlatformServices{audioEngine, mixer, hotKeys, dialogs}, channel);
    window.move(100, 50);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));

    window.playlistButton->click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return window.playlistMenu->isVisible(); }, 5000));
    EXPECT_EQ(window.playlistMenu->pos(), QPoint(100 + 176 - 40, 50 + 192 + 20));
    QStringList items;
    for (const QAction* action : window.playlistMenu->actions())
        items << action->text();
    EXPECT_EQ(items, (QStringList{"laden", "speichern"}));
    window.playlistMenu->close();

    // The fake answers "cancel" to both.
    window.loadPlaylistAction->trigger();
    window.savePlaylistAction->trigger();
    ASSERT_EQ(dialogs.fileDialogs.size(), 2u);
    EXPECT_EQ(dialogs.fileDialogs[0].okText, QStringLiteral("&laden"));
    EXPECT_EQ(dialogs.fileDialogs[1].okText, QStringLiteral("&speichern"));
}

// Runs fn on the modal dialog once it is shown.
template <class Dialog> void onModal(std::function<void(Dialog*)> fn) {
    QTimer::singleShot(0, [fn] {
        Dialog* dialog = nullptr;
        (void)QTest::qWaitFor(
            [&] { return (dialog = qobject_cast<Dialog*>(QApplication::activeModalWidget())); }, 5000);
        if (dialog) fn(dialog);
    });
}

TEST(QtDialogsTest, PlaylistDialogKeepsItsTextsAndLeavesTheCurrentFolderAtTheChoice) {
    QTemporaryDir dir;
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("unter")));
    const QString before = QDir::currentPath();
    QStringList seen;
    onModal<QFileDialog>([&](QFileDialog* d) {
        seen << d->labelText(QFileDialog::Accept) << d->labelText(QFileDialog::Reject)
             << d->labelText(QFileDialog::LookIn) << d->labelText(QFileDialog::FileName)
             << d->labelText(QFileDialog::FileType);
        // Once the folder is listed, choosing a folder in the list makes Qt put its own "&Open" on
        // the accept button.
        auto* model = d->findChild<QFileSystemModel*>();
        (void)QTest::qWaitFor([&] { return model->rowCount(model->index(dir.path())) > 0; }, 5000);
        d->findChild<QListView*>(QStringLiteral("listView"))
            ->setCurrentIndex(model->index(dir.filePath("unter")));
        QTest::qWait(100);
        seen << d->labelText(QFileDialog::Accept);
        auto* name = d->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
        name->setText(QStringLiteral("neu"));
        QTest::qWait(100);
        static_cast<QDialog*>(d)->accept();
    });
    QtDialogs dialogs;
    const std::optional<QString> chosen = dialogs.chooseFile(
        {false, dir.path(), QString(), "&laden", "nix", "&suchen in...", "Datei &Name", "Datei Type"});
    const QString after = QDir::currentPath();
    QDir::setCurrent(before);
    EXPECT_EQ(seen, (QStringList{"&laden", "nix", "&suchen in...", "Datei &Name", "Datei Type", "&laden"}));
    // The default suffix completes a name typed without one.
    EXPECT_EQ(chosen, std::optional<QString>(dir.filePath(QStringLiteral("neu.m3u"))));
    EXPECT_EQ(after, dir.path());
}

// An "&" in a label's text marks its accelerator; a label without a partner would show it.
TEST(QtDialogsTest, PlaylistDialogsShowNoStrayAmpersand) {
    QTemporaryDir dir;
    for (bool save : {false, true}) {
        QStringList stray;
        onModal<QFileDialog>([&](QFileDialog* d) {
            for (QLabel* label : d->findChildren<QLabel*>())
                if (label->isVisible() && label->text().contains(u'&') && !label->buddy())
                    stray << label->text();
            d->reject();
        });
        QtDialogs dialogs;
        (void)dialogs.chooseFile(save ? playlistSaveDialog(dir.path(), QString())
                                      : playlistOpenDialog(dir.path(), QString()));
        EXPECT_TRUE(stray.isEmpty()) << stray.join(u' ').toStdString();
    }
}

TEST(QtDialogsTest, MessageShowsEachCrLineOnALineOfItsOwn) {
    QString shown;
    bool icon = true;
    onModal<QMessageBox>([&](QMessageBox* box) {
        shown = box->text();
        icon = box->icon() != QMessageBox::NoIcon;
        box->accept();
    });
    QtDialogs dialogs;
    dialogs.message(QStringLiteral("nicht (mehr) gefunden:\r\r/a/<b>.mp3\r#EXTM3U\r"), MessageIcon::None);
    EXPECT_EQ(shown, QStringLiteral("nicht (mehr) gefunden:\n\n/a/<b>.mp3\n#EXTM3U\n"));
    EXPECT_FALSE(icon);
}

} // namespace
