#include "ui/ShellTreeView.h"
#include "platform/EventLoop.h"

#include <QAbstractFileIconProvider>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QTimer>
#include <algorithm>
#include <cstring>
#include <dirent.h>
#include <memory>
#include <sys/stat.h>

namespace {

// The tree shows no icons and no types: looking them up for every entry would only cost time, and a
// type is found by reading the file's first bytes on the window's thread, which some files never
// answer (/proc/kmsg).
class NoIcons : public QAbstractFileIconProvider {
public:
    QIcon icon(IconType) const override { return {}; }
    QIcon icon(const QFileInfo&) const override { return {}; }
    // Never shown; the model wants some text (with an empty one it shows no folders).
    QString type(const QFileInfo&) const override { return QStringLiteral("Ordner"); }
};

class FolderModel : public QFileSystemModel {
public:
    using QFileSystemModel::QFileSystemModel;
    QVariant data(const QModelIndex& index, int role) const override {
        // No room is kept for an icon, so a node's text starts right after its indentation.
        if (role == Qt::DecorationRole) return {};
        return QFileSystemModel::data(index, role);
    }
};

struct DirCloser {
    void operator()(DIR* d) const { ::closedir(d); }
};

bool folderHasSubfolders(const QString& folder) {
    const QByteArray name = QFile::encodeName(folder);
    std::unique_ptr<DIR, DirCloser> dir(::opendir(name.constData()));
    if (!dir) return false;
    const int fd = ::dirfd(dir.get());
    while (const dirent* de = ::readdir(dir.get())) {
        if (std::strcmp(de->d_name, ".") == 0 || std::strcmp(de->d_name, "..") == 0) continue;
        if (de->d_type == DT_DIR) return true;
        if (de->d_type == DT_LNK || de->d_type == DT_UNKNOWN) {
            struct stat st {};
            if (::fstatat(fd, de->d_name, &st, 0) == 0 && S_ISDIR(st.st_mode)) return true;
        }
    }
    return false;
}

} // namespace

ShellTreeView::ShellTreeView(QWidget* parent) : QTreeView(parent), model_(new FolderModel(this)) {
    // The model's reader thread may still ask for icons while the view goes away: the provider
    // lives as long as the process.
    static NoIcons noIcons;
    model_->setIconProvider(&noIcons);
    model_->setOptions(QFileSystemModel::DontWatchForChanges | QFileSystemModel::DontUseCustomDirectoryIcons);
    model_->setFilter(QDir::Dirs | QDir::Hidden | QDir::NoDotAndDotDot);
    model_->setReadOnly(true);
    connect(model_, &QFileSystemModel::directoryLoaded, this, &ShellTreeView::folderLoaded);
    // The header is never shown: its narrowest column need not be measured in the window's font, which
    // would load the font before the window shows.
    header()->setMinimumSectionSize(0);
    setHeaderHidden(true);
    setIndentation(19);
    setRootIsDecorated(false);
    setUniformRowHeights(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
}

void ShellTreeView::startReading() {
    if (model() == model_) return;
    model_->setRootPath(QStringLiteral("/"));
    setModel(model_);
    for (int c = 1; c < model_->columnCount(); ++c)
        setColumnHidden(c, true);
    connect(selectionModel(), &QItemSelectionModel::currentChanged, this, [this] {
        frame_.clear(viewport());
        emit change();
    });
}

QString ShellTreeView::path() const {
    return nodePath(currentIndex());
}

QString ShellTreeView::nodePath(const QModelIndex& node) const {
    return node.isValid() ? model_->filePath(node) : QString();
}

QString ShellTreeView::nodeText(const QModelIndex& node) const {
    return node.data(Qt::DisplayRole).toString();
}

bool ShellTreeView::setPath(const QString& folder) {
    startReading();
    const QFileInfo info(folder);
    if (folder.isEmpty() || !info.isDir()) return false;
    const QModelIndex node = model_->index(QDir::cleanPath(info.absoluteFilePath()));
    if (!node.isValid()) return false;
    reveal_ = node;
    selectNode(node);
    return true;
}

QModelIndex ShellTreeView::selectedNode() const {
    return currentIndex();
}

void ShellTreeView::selectNode(const QModelIndex& node) {
    if (!node.isValid()) return;
    // Open the parents first: the change handler that runs inside setCurrentIndex sees the node
    // in place.
    scrollTo(node);
    setCurrentIndex(node);
}

bool ShellTreeView::hasSubfolders(const QModelIndex& node) const {
    return node.isValid() && folderHasSubfolders(nodePath(node));
}

QRect ShellTreeView::nodeTextRect(const QModelIndex& node) const {
    return node.isValid() ? visualRect(node) : QRect();
}

int ShellTreeView::childCount(const QModelIndex& node) const {
    return node.isValid() ? model_->rowCount(node) : 0;
}

QModelIndex ShellTreeView::topNode() const {
    return indexAt(QPoint(0, 0));
}

void ShellTreeView::setTopNode(const QModelIndex& node) {
    if (node.isValid()) scrollTo(node, QAbstractItemView::PositionAtTop);
}

QModelIndex ShellTreeView::nextNode(const QModelIndex& node) const {
    if (!node.isValid()) return {};
    if (isExpanded(node) && model_->rowCount(node) > 0) return model_->index(0, 0, node);
    for (QModelIndex n = node; n.isValid(); n = n.parent()) {
        const QModelIndex sibling = n.sibling(n.row() + 1, 0);
        if (sibling.isValid()) return sibling;
    }
    return {};
}

bool ShellTreeView::isLoaded(const QModelIndex& node) const {
    return node.isValid() && loaded_.contains(nodePath(node));
}

bool ShellTreeView::waitForLoad(const QModelIndex& node, int timeoutMs) {
    QList<QPersistentModelIndex> chain;
    for (QModelIndex n = node; n.isValid(); n = n.parent())
        chain.prepend(n);
    for (const QPersistentModelIndex& n : std::as_const(chain))
        if (!isLoaded(n) && model_->canFetchMore(n)) model_->fetchMore(n);
    auto allLoaded = [&] {
        return std::all_of(chain.begin(), chain.end(),
                           [&](const QPersistentModelIndex& n) { return !n.isValid() || isLoaded(n); });
    };
    if (!allLoaded()) {
        QEventLoop loop;
        QTimer timer;
        timer.setSingleShot(true);
        connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
        connect(model_, &QFileSystemModel::directoryLoaded, &loop, [&] {
            if (allLoaded()) loop.quit();
        });
        timer.start(timeoutMs);
        loop.exec();
        if (!allLoaded()) return false;
    }
    // The model sorts newly read folders a moment later; do it now so walks see the final order.
    yieldToEvents();
    model_->sort(0, Qt::AscendingOrder);
    revealPending();
    return true;
}

void ShellTreeView::folderLoaded(const QString& folder) {
    loaded_.insert(folder);
    // After the model's own delayed sort, so the node lands where it stays.
    if (reveal_.isValid()) QTimer::singleShot(0, this, &ShellTreeView::revealPending);
}

void ShellTreeView::revealPending() {
    if (!reveal_.isValid()) return;
    if (reveal_ != currentIndex()) {
        reveal_ = QPersistentModelIndex();
        return;
    }
    // The model sorts the rows it just read through a queued call that may still be pending; scrolled
    // before that sort, the node would move out of sight once it runs. Sorting now makes it a no-op.
    model_->sort(0, Qt::AscendingOrder);
    scrollTo(reveal_);
    bool allLoaded = true;
    for (QModelIndex p = reveal_.parent(); p.isValid(); p = p.parent())
        allLoaded = allLoaded && isLoaded(p);
    if (allLoaded) reveal_ = QPersistentModelIndex();
}

void ShellTreeView::drawFocusFrame(const QRect& rect, const QColor& color) {
    frame_.set(viewport(), rect, color);
}

void ShellTreeView::keyPressEvent(QKeyEvent* event) {
    reveal_ = QPersistentModelIndex();
    event->ignore();
    emit keyDown(event);
    if (event->isAccepted()) return;
    event->accept();
    const QModelIndex node = currentIndex();
    if (event->key() == Qt::Key_Right && event->modifiers() == Qt::NoModifier && node.isValid()) {
        // Right opens a folder and, once open, enters its first subfolder, whatever the style's
        // habit.
        if (!isExpanded(node))
            expand(node);
        else if (model_->rowCount(node) > 0)
            selectNode(model_->index(0, 0, node));
        return;
    }
    QTreeView::keyPressEvent(event);
}

void ShellTreeView::mousePressEvent(QMouseEvent* event) {
    reveal_ = QPersistentModelIndex();
    if (event->button() == Qt::RightButton) {
        const QModelIndex node = indexAt(event->position().toPoint());
        if (node.isValid()) selectNode(node);
        event->accept();
        return;
    }
    QTreeView::mousePressEvent(event);
}

void ShellTreeView::mouseReleaseEvent(QMouseEvent* event) {
    QTreeView::mouseReleaseEvent(event);
    if (event->button() == Qt::LeftButton) emit click();
}

void ShellTreeView::paintEvent(QPaintEvent* event) {
    QTreeView::paintEvent(event);
    frame_.paint(viewport());
}

void ShellTreeView::scrollContentsBy(int dx, int dy) {
    frame_.clear(viewport());
    QTreeView::scrollContentsBy(dx, dy);
}
