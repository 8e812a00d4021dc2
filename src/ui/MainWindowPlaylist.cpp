// The "Playliste" button and its menu: "laden" loads a playlist into the song list, "speichern" saves
// the song list as a playlist.

#include "ui/MainWindow.h"

#include <QMenu>
#include <QPushButton>

void MainWindow::bindPlaylist() {
    Player& p = *player_;
    playlistMenu = new QMenu(this);
    loadPlaylistAction = playlistMenu->addAction(QStringLiteral("laden"));
    savePlaylistAction = playlistMenu->addAction(QStringLiteral("speichern"));
    connect(loadPlaylistAction, &QAction::triggered, this,
            [&p] { p.guarded([&p] { p.playlists.loadPlaylist(); }); });
    connect(savePlaylistAction, &QAction::triggered, this,
            [&p] { p.guarded([&p] { p.playlists.savePlaylist(); }); });
    connect(playlistButton, &QPushButton::clicked, this, &MainWindow::showPlaylistMenu);
}

void MainWindow::showPlaylistMenu() {
    playlistMenu->popup(playlistMenuPoint(pos(), playlistButton->pos()));
}
