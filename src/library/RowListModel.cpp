#include "library/RowListModel.h"

void RowListModelBase::setSelected(int row) {
    if (!isRow(row)) row = -1;
    if (row == selected_) return;
    selected_ = row;
    emit selectedChanged(row);
}
