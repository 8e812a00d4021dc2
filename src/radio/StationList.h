#pragma once
// The station list: for each station its name (what the list shows) and its URL.

#include "library/RowListModel.h"

#include <QString>

struct Station {
    QString name;
    QString url;
    static QString shown(const Station& s) { return s.name; }
    bool operator==(const Station&) const = default;
};

class StationList : public RowListModel<Station> {
    Q_OBJECT
public:
    using RowListModel::RowListModel;

    QString name(int i) const { return row(i).name; }
    QString url(int i) const { return row(i).url; }
};
