#include "library/FileBrowser.h"

#include "app/Player.h"
#include "app/Window.h"
#include "platform/FileSystem.h"

#include <QDir>

namespace {

// Stands in for the window's tree in tests that have none: no folders, nothing selected.
class NoFolderTree : public FolderTree {
public:
    QModelIndex selectedNode() const override { return {}; }
    void selectNode(const QModelIndex&) override {}
    QString path() const override { return {}; }
    bool setPath(const QString&) override { return false; }
    QString nodeText(const QModelIndex&) const override { return {}; }
    bool hasSubfolders(const QModelIndex&) const override { return false; }
    int childCount(const QModelIndex&) const override { return 0; }
    QModelIndex topNode() const override { return {}; }
    void setTopNode(const QModelIndex&) override {}
    QModelIndex nextNode(const QModelIndex&) const override { return {}; }
    bool waitForLoad(const QModelIndex&, int) override { return true; }
};

NoFolderTree noFolderTree;

} // namespace

FileBrowser::FileBrowser(Player& player) : p_(player), tree_(&noFolderTree) {}

void FileBrowser::onFolderChosen() {
    p_.s.currentFolder = tree_->path();
    memory.selectionChanged(*tree_);
    p_.s.fileList.setDirectory(tree_->path());
}

void FileBrowser::onFolderTreeClick() {
    p_.s.fileList.setDirectory(tree_->path());
}

void FileBrowser::onFolderTreeKey(int key) {
    memory.keyDown(key);
    FileListModel& files = p_.s.fileList;
    if (files.count() == 0) return;
    if (key == Qt::Key_Return || key == Qt::Key_Enter) {
        p_.window().focus(FocusTarget::FileList);
        files.select(0);
    } else if (key == Qt::Key_Right && !tree_->hasSubfolders(tree_->selectedNode())) {
        p_.window().focus(FocusTarget::FileList);
        if (files.selectedIndex() < 0) files.select(0);
    }
}

void FileBrowser::onFileListClick() {
    const int index = p_.s.fileList.selectedIndex();
    if (index >= 0) takeFileListEntry(index);
}

bool FileBrowser::onFileListKey(int key) {
    FileListModel& files = p_.s.fileList;
    switch (key) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (files.selCount() < 2) {
            onFileListClick();
        } else {
            // The paths are taken first: each add lets the event loop run, which may list again.
            QStringList paths;
            for (int index : files.selectedRows())
                paths << tree_->path() + u'/' + files.caption(index);
            for (const QString& path : paths)
                p_.songList.addSong(path);
        }
        return false;
    case Qt::Key_Left:
        p_.window().focus(FocusTarget::FolderTree);
        return false;
    case Qt::Key_Right:
        p_.window().focus(FocusTarget::SongList);
        return true;
    default:
        return false;
    }
}

void FileBrowser::chooseSortByName() {
    p_.s.fileList.setSortColumn(fiName);
    p_.s.display.sortByDate = false;
}

void FileBrowser::chooseSortByDate() {
    p_.s.fileList.setSortColumn(fiModified);
    p_.s.display.sortByDate = true;
}

void FileBrowser::takeFileListEntry(int index) {
    FileListModel& files = p_.s.fileList;
    if (index < 0 || index >= files.count()) return;
    p_.songList.addSong(tree_->path() + u'/' + files.caption(index));
}

void FileBrowser::takeAllFiles(bool focusTree) {
    FileListModel& files = p_.s.fileList;
    const int n = files.count();
    // An add lets the event loop run; a folder listed meanwhile may have fewer entries.
    for (int i = 0; i < n && i < files.count(); ++i)
        takeFileListEntry(i);
    if (focusTree) p_.window().focus(FocusTarget::FolderTree);
    if (files.count() > 0) files.select(0);
}

void FileBrowser::removeFileListEntry(const QString& text, const QString& folder) {
    FileListModel& files = p_.s.fileList;
    const auto sameFolder = [](const QString& a, const QString& b) {
        if (QDir::cleanPath(a) == QDir::cleanPath(b)) return true;
        const QString canonical = canonicalPath(a);
        return !canonical.isEmpty() && canonical == canonicalPath(b);
    };
    for (int i = 0; i < files.count(); ++i) {
        if (!files.caption(i).startsWith(text, Qt::CaseInsensitive)) continue;
        if (!sameFolder(files.entry(i).folder, folder)) continue;
        files.removeEntry(i);
        return;
    }
}
