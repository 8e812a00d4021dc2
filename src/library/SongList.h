#pragma once
// The song list: for each song its title (shown in songLB), its path (dateinamenLB) and its loudness
// entry (LautLB: "x" while a measurement is pending, "30" when entered without levelling, else the
// measured value).

#include "library/RowListModel.h"

#include <QString>

struct Song {
    QString title;
    QString path;
    QString loudness;
    static QString shown(const Song& s) { return s.title; }
};

class SongList : public RowListModel<Song> {
    Q_OBJECT
public:
    using RowListModel::RowListModel;

    QString songLB(int i) const { return row(i).title; }
    QString dateinamenLB(int i) const { return row(i).path; }
    QString LautLB(int i) const { return row(i).loudness; }
    void setLautLB(int i, const QString& value);
};
