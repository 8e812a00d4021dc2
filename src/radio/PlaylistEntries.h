#pragma once
// The entries of a playlist handed to the player: a title (what the list shows) and a stream URL each.

#include "library/RowListModel.h"

#include <QString>

struct PlaylistEntry {
    QString title;
    QString url;
    static QString shown(const PlaylistEntry& e) { return e.title; }
};

class PlaylistEntries : public RowListModel<PlaylistEntry> {
    Q_OBJECT
public:
    using RowListModel::RowListModel;

    QString title(int i) const { return row(i).title; }
    QString url(int i) const { return row(i).url; }
    void setTitle(int i, const QString& title);
};
