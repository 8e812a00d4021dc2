#pragma once
// A list of rows whose first column is shown in a list box and whose other columns are data beside it,
// row for row. Keeping one row type behind the visible and the hidden lists means they can never get
// out of step. The model also holds the list box's selected row, so the player's operations run and
// are tested without a widget.

#include "platform/ByteText.h"

#include <QAbstractListModel>
#include <QList>

class RowListModelBase : public QAbstractListModel {
    Q_OBJECT
public:
    using QAbstractListModel::QAbstractListModel;

    // The selected row (the list box's item index); -1 when none.
    int selected() const { return selected_; }
    // Selects row; a value outside the list selects nothing.
    void setSelected(int row);
    bool isRow(int row) const { return row >= 0 && row < rowCount(); }
    int count() const { return rowCount(); }

signals:
    void selectedChanged(int row);

protected:
    int selected_ = -1;
};

template <class Row> class RowListModel : public RowListModelBase {
public:
    using RowListModelBase::RowListModelBase;

    int rowCount(const QModelIndex& parent = QModelIndex()) const override {
        return parent.isValid() ? 0 : static_cast<int>(rows_.size());
    }
    QVariant data(const QModelIndex& index, int role) const override {
        if (!index.isValid() || !isRow(index.row())) return {};
        if (role == Qt::DisplayRole) return displayText(Row::shown(rows_[index.row()]));
        return {};
    }

    const Row& row(int i) const { return rows_[i]; }
    const QList<Row>& rows() const { return rows_; }

    void append(const Row& r) {
        const int n = count();
        beginInsertRows(QModelIndex(), n, n);
        rows_.append(r);
        endInsertRows();
    }
    void insert(int at, const Row& r) {
        beginInsertRows(QModelIndex(), at, at);
        rows_.insert(at, r);
        endInsertRows();
        if (selected_ >= at) setSelected(selected_ + 1);
    }
    // Removes a row; the selection stays on the same row number while it exists.
    void remove(int i) {
        beginRemoveRows(QModelIndex(), i, i);
        rows_.removeAt(i);
        endRemoveRows();
        if (selected_ >= count()) setSelected(-1);
    }
    void clear() {
        beginResetModel();
        rows_.clear();
        endResetModel();
        setSelected(-1);
    }
    void replaceAll(const QList<Row>& rows) {
        beginResetModel();
        rows_ = rows;
        endResetModel();
        setSelected(-1);
    }
    // Takes the row out at from and inserts it again at to (counted after taking it out).
    void move(int from, int to) {
        if (from == to) return;
        const int dest = to > from ? to + 1 : to;
        beginMoveRows(QModelIndex(), from, from, QModelIndex(), dest);
        rows_.move(from, to);
        endMoveRows();
    }

protected:
    Row& rowRef(int i) { return rows_[i]; }
    void rowChanged(int i) { emit dataChanged(index(i), index(i)); }

private:
    QList<Row> rows_;
};
