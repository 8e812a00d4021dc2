#include "ui/FileList.h"

#include <QGuiApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMouseEvent>

FileListWidget::FileListWidget(QWidget* parent, FileListModel* files)
    : QTreeView(parent), files_(files ? files : new FileListModel(this)) {
    setModel(files_);
    QItemSelectionModel* own = selectionModel();
    setSelectionModel(files_->selectionModel());
    delete own;

    setRootIsDecorated(false);
    setItemsExpandable(false);
    setUniformRowHeights(true);
    setAllColumnsShowFocus(true);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setHeaderHidden(true);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    // Every column has a width of its own and the header is never shown: the narrowest width need not
    // be measured in the window's font, which would load the font before the window shows.
    header()->setMinimumSectionSize(0);
    header()->setStretchLastSection(false);
    header()->setSectionsMovable(false);
    applyColumns();

    connect(files_, &FileListModel::columnsChanged, this, &FileListWidget::applyColumns);
    connect(header(), &QHeaderView::sectionClicked, this, [this](int section) {
        if (section >= 0 && section < files_->columns().size())
            files_->setSortColumn(files_->columns()[section].field);
    });
    connect(files_, &FileListModel::listingStarted, this, [this] {
        QGuiApplication::setOverrideCursor(Qt::WaitCursor);
        ++waitCursors_;
    });
    connect(files_, &FileListModel::listingFinished, this, [this] {
        if (waitCursors_ == 0) return;
        --waitCursors_;
        QGuiApplication::restoreOverrideCursor();
    });
    connect(files_, &QAbstractItemModel::layoutChanged, this, &FileListWidget::clearFrame);
    connect(files_, &QAbstractItemModel::rowsRemoved, this, &FileListWidget::clearFrame);
    connect(files_, &QAbstractItemModel::rowsInserted, this, &FileListWidget::clearFrame);
    connect(files_->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &FileListWidget::clearFrame);
}

FileListWidget::~FileListWidget() {
    // A listing cut short by the window's end leaves no wait cursor behind.
    while (waitCursors_ > 0) {
        --waitCursors_;
        QGuiApplication::restoreOverrideCursor();
    }
}

void FileListWidget::applyColumns() {
    const QList<ColumnInfo>& columns = files_->columns();
    for (int c = 0; c < columns.size(); ++c) {
        // A column of width 0 exists for the sort but takes no room.
        setColumnHidden(c, columns[c].width == 0);
        if (columns[c].width > 0) setColumnWidth(c, columns[c].width);
    }
}

QRect FileListWidget::entryRect(int index) const {
    if (index < 0 || index >= files_->count()) return {};
    const QRect first = visualRect(files_->index(index, 0));
    if (!first.isValid()) return {};
    return QRect(first.left(), first.top(), header()->length() - header()->offset(), first.height());
}

void FileListWidget::drawFocusFrame(const QRect& rect, const QColor& color) {
    frame_.set(viewport(), rect, color);
}

void FileListWidget::clearFrame() {
    frame_.clear(viewport());
}

void FileListWidget::paintEvent(QPaintEvent* event) {
    QTreeView::paintEvent(event);
    frame_.paint(viewport());
}

void FileListWidget::scrollContentsBy(int dx, int dy) {
    clearFrame();
    QTreeView::scrollContentsBy(dx, dy);
}

void FileListWidget::keyPressEvent(QKeyEvent* event) {
    event->ignore();
    emit keyDown(event);
    if (event->isAccepted()) return;
    event->accept();
    QTreeView::keyPressEvent(event);
}

void FileListWidget::mouseReleaseEvent(QMouseEvent* event) {
    QTreeView::mouseReleaseEvent(event);
    if (event->button() == Qt::LeftButton) emit click();
}

void FileListWidget::focusInEvent(QFocusEvent* event) {
    QTreeView::focusInEvent(event);
    emit focusEntered();
}

void FileListWidget::focusOutEvent(QFocusEvent* event) {
    QTreeView::focusOutEvent(event);
    emit focusLeft();
}
