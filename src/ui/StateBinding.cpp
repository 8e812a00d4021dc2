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
#include <QStyledItemDelegate>
#include <memory>

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

// A widget's subscription to a shown value, held as the widget's child: it ends when the widget goes, so
// the value never calls a widget that is gone.
class WidgetSubscription : public QObject {
public:
    WidgetSubscription(Subscription subscription, QObject* widget)
        : QObject(widget), subscription_(std::move(subscription)) {}

private:
    Subscription subscription_;
};

void tieTo(QObject* widget, Subscription subscription) {
    new WidgetSubscription(std::move(subscription), widget);
}

} // namespace

void bindText(Shown<QString>& value, QLabel* label) {
    label->setTextFormat(Qt::PlainText);
    label->setText(displayText(value.get()));
    tieTo(label, value.subscribe([label](const QString& text) { label->setText(displayText(text)); }));
}

void bindText(Shown<QString>& value, QAbstractButton* button) {
    button->setText(value.get());
    tieTo(button, value.subscribe([button](const QString& text) { button->setText(text); }));
}

void bindVisible(Shown<bool>& value, QWidget* widget) {
    widget->setVisible(value.get());
    tieTo(widget, value.subscribe([widget](bool visible) { widget->setVisible(visible); }));
}

void bindVisibleOnDemand(Shown<bool>& value, QObject* owner, std::function<QWidget*()> build) {
    // Listeners may be called through copies: the widget, once made, is shared by all of them.
    const auto widget = std::make_shared<QWidget*>(nullptr);
    const auto show = [widget, build = std::move(build)](bool visible) {
        if (visible && !*widget) *widget = build();
        if (*widget) (*widget)->setVisible(visible);
    };
    show(value.get());
    tieTo(owner, value.subscribe(show));
}

void bindCheck(Shown<bool>& value, BitmapCheckBox* box) {
    box->setChecked(value.get());
    tieTo(box, value.subscribe([box](bool checked) { box->setChecked(checked); }));
    QObject::connect(box, &BitmapCheckBox::changed, box, [box, &value] { value.set(box->isChecked()); });
}

void bindRange(RangeValue& value, QAbstractSlider* slider) {
    slider->setRange(value.min(), value.max());
    slider->setValue(value.position());
    tieTo(slider, value.subscribe([slider](int position) {
        if (slider->value() != position) slider->setValue(position);
    }));
    QObject::connect(slider, &QAbstractSlider::valueChanged, slider,
                     [&value](int position) { value.setPosition(position); });
}

void bindList(RowListModelBase& model, QListView* view) {
    view->setModel(&model);
    view->setItemDelegate(new RowHeightDelegate(view));
    view->setUniformItemSizes(true);
    view->setSelectionMode(QAbstractItemView::SingleSelection);
    view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    // Connected with the view as context, so these never run once it is gone.
    const auto showSelection = [view, &model](int row) {
        QItemSelectionModel* selection = view->selectionModel();
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
    // A view made after the model chose its row shows that row.
    showSelection(model.selected());
}

void bindLines(Shown<QStringList>& lines, QPlainTextEdit* editor) {
    editor->setPlainText(shownLines(lines.get()));
    tieTo(editor, lines.subscribe([editor](const QStringList& text) {
        const QString shown = shownLines(text);
        if (editor->toPlainText() != shown) editor->setPlainText(shown);
    }));
    // Lines the user left as they were keep their bytes; what the user typed is new text.
    QObject::connect(editor, &QPlainTextEdit::textChanged, editor, [editor, &lines] {
        const QString text = editor->toPlainText();
        lines.set(linesFromDisplay(text.isEmpty() ? QStringList() : text.split(u'\n'), lines.get()));
    });
}
