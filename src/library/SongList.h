#pragma once
// The song list: for each song its title (what the list shows), its path and its loudness entry ("x"
// while a measurement is pending, "30" when entered without levelling, else the measured value).

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

    QString title(int i) const { return row(i).title; }
    QString path(int i) const { return row(i).path; }
    QString loudness(int i) const { return row(i).loudness; }
    void setLoudness(int i, const QString& value);
};
