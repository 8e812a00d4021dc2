#pragma once
// The station list: for each station its name (shown in radiosenderLB) and its URL (radioLB).

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

    QString radiosenderLB(int i) const { return row(i).name; }
    QString radioLB(int i) const { return row(i).url; }
};
