#include "ui/StateBinding.h"

#include "library/RowListModel.h"
#include "platform/ByteText.h"
#include "ui/BitmapCheckBox.h"

#include <QAbstractButton>
#include <QAbstractSlider>
#include <QItemSelectionModel>
#include <QLabel>
#include <QListView>
#include <QPlainTextEdit>
#include <QPointer>
#include <QStyledItemDelegate>

namespace {

// List rows are 13 pixels high.
class RowHeightDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        QSize size = QStyledItemDelegate::sizeHint(option, index);
        size.setHeight(13);
        return size;
    }
};

// The editor's text: each line as the user sees it.
QString shownLines(const QStringList& lines) {
    QStringList shown;
    shown.reserve(lines.size());
    for (const QString& line : lines)
        shown << displayText(line);
    return shown.join(u'\n');
}

} // namespace

void bindText(Shown<QString>& value, QLabel* label) {
    label->setTextFormat(Qt::PlainText);
    label->setText(displayText(value.get()));
    QPointer<QLabel> guard(label);
    value.onChange([guard](const QString& text) {
        if (guard) guard->setText(displayText(text));
    });
}

void bindText(Shown<QString>& value, QAbstractButton* button) {
    button->setText(value.get());
    QPointer<QAbstractButton> guard(button);
    value.onChange([guard](const QString& text) {
        if (guard) guard->setText(text);
    });
}

void bindVisible(Shown<bool>& value, QWidget* widget) {
    widget->setVisible(value.get());
    QPointer<QWidget> guard(widget);
    value.onChange([guard](bool visible) {
        if (guard) guard->setVisible(visible);
    });
}

void bindCheck(Shown<bool>& value, BitmapCheckBox* box) {
    box->setChecked(value.get());
    QPointer<BitmapCheckBox> guard(box);
    value.onChange([guard](bool checked) {
        if (guard) guard->setChecked(checked);
    });
    QObject::connect(box, &BitmapCheckBox::changed, box, [box, &value] { value.set(box->isChecked()); });
}

void bindRange(RangeValue& value, QAbstractSlider* slider) {
    slider->setRange(value.min(), value.max());
    slider->setValue(value.position());
    QPointer<QAbstractSlider> guard(slider);
    value.onChange([guard](int position) {
        if (guard && guard->value() != position) guard->setValue(position);
    });
    QObject::connect(slider, &QAbstractSlider::valueChanged, slider,
                     [&value](int position) { value.setPosition(position); });
}

void bindList(RowListModelBase& model, QListView* view) {
    view->setModel(&model);
    view->setItemDelegate(new RowHeightDelegate(view));
    view->setUniformItemSizes(true);
    view->setSelectionMode(QAbstractItemView::SingleSelection);
    view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    QPointer<QListView> guard(view);
    const auto showSelection = [guard, &model](int row) {
        if (!guard) return;
        QItemSelectionModel* selection = guard->selectionModel();
        const QModelIndex index = model.index(row);
        if (row < 0) {
            selection->clear();
        } else if (selection->currentIndex() != index || !selection->isSelected(index)) {
            selection->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect);
        }
    };
    QObject::connect(&model, &RowListModelBase::selectedChanged, view, showSelection);
    QObject::connect(view->selectionModel(), &QItemSelectionModel::currentChanged, view,
                     [&model](const QModelIndex& current) { model.setSelected(current.row()); });
    // Rows inserted, removed or moved keep the model's selection on screen.
    QObject::connect(&model, &QAbstractItemModel::layoutChanged, view,
                     [showSelection, &model] { showSelection(model.selected()); });
    QObject::connect(&model, &QAbstractItemModel::rowsMoved, view,
                     [showSelection, &model] { showSelection(model.selected()); });
    QObject::connect(&model, &QAbstractItemModel::rowsRemoved, view,
                     [showSelection, &model] { showSelection(model.selected()); });
}

void bindLines(Shown<QStringList>& lines, QPlainTextEdit* editor) {
    editor->setPlainText(shownLines(lines.get()));
    QPointer<QPlainTextEdit> guard(editor);
    lines.onChange([guard](const QStringList& text) {
        if (!guard) return;
        const QString shown = shownLines(text);
        if (guard->toPlainText() != shown) guard->setPlainText(shown);
    });
    // Lines the user left as they were keep their bytes; what the user typed is new text.
    QObject::connect(editor, &QPlainTextEdit::textChanged, editor, [editor, &lines] {
        const QString text = editor->toPlainText();
        lines.set(linesFromDisplay(text.isEmpty() ? QStringList() : text.split(u'\n'), lines.get()));
    });
}
