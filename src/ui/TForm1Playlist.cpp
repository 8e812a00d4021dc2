// The "Playliste" button and its menu: "laden" loads a playlist into the song list, "speichern" saves
// the song list as a playlist.

#include "ui/TForm1.h"

#include <QMenu>
#include <QPushButton>

void TForm1::bindPlaylist() {
    Player& p = *player_;
    PlaylisteMenu = new QMenu(this);
    SLladen = PlaylisteMenu->addAction(QStringLiteral("laden"));
    SLspeichern = PlaylisteMenu->addAction(QStringLiteral("speichern"));
    connect(SLladen, &QAction::triggered, this, [&p] { p.guarded([&p] { p.playlists.playfileladen(); }); });
    connect(SLspeichern, &QAction::triggered, this,
            [&p] { p.guarded([&p] { p.playlists.playfileschreiben(); }); });
    connect(playlisteB, &QPushButton::clicked, this, &TForm1::playlisteBClick);
}

void TForm1::playlisteBClick() {
    PlaylisteMenu->popup(playlisteMenuPoint(pos(), playlisteB->pos()));
}
