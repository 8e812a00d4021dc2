#pragma once
// The entries of a playlist handed to the player: titles (shown in sendertitelLB) and stream URLs
// (senderfileLB), row for row.

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

    QString sendertitelLB(int i) const { return row(i).title; }
    QString senderfileLB(int i) const { return row(i).url; }
    void setTitle(int i, const QString& title);
};
