#include "library/FileBrowser.h"

#include "library/SongListEditor.h"
#include "platform/FileSystem.h"
#include "platform/Window.h"

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

FileBrowser::FileBrowser(IWindow& window, SongListEditor& songList)
    : window_(window), songList_(songList), tree_(&noFolderTree) {
    // The program's file list shows MP3 files only, without folders.
    fileList.setDisplayDirectory(false);
    fileList.setFileTypes({ArchiveFile, ReadOnlyFile});
    fileList.setViewColumns({NameColumn, ModifiedColumn});
    fileList.setMask(QStringLiteral("*.mp3"));
}

void FileBrowser::onFolderChosen() {
    currentFolder = tree_->path();
    memory.selectionChanged(*tree_);
    fileList.setDirectory(tree_->path());
}

void FileBrowser::onFolderTreeClick() {
    fileList.setDirectory(tree_->path());
}

void FileBrowser::onFolderTreeKey(int key) {
    memory.keyDown(key);
    FileListModel& files = fileList;
    if (files.count() == 0) return;
    if (key == Qt::Key_Return || key == Qt::Key_Enter) {
        window_.focus(FocusTarget::FileList);
        files.select(0);
    } else if (key == Qt::Key_Right && !tree_->hasSubfolders(tree_->selectedNode())) {
        window_.focus(FocusTarget::FileList);
        if (files.selectedIndex() < 0) files.select(0);
    }
}

void FileBrowser::onFileListClick() {
    const int index = fileList.selectedIndex();
    if (index >= 0) takeFileListEntry(index);
}

bool FileBrowser::onFileListKey(int key) {
    FileListModel& files = fileList;
    switch (key) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (files.selectedCount() < 2) {
            onFileListClick();
        } else {
            // The paths are taken first: each add lets the event loop run, which may list again.
            QStringList paths;
            for (int index : files.selectedRows())
                paths << tree_->path() + u'/' + files.caption(index);
            for (const QString& path : paths)
                songList_.addSong(path);
        }
        return false;
    case Qt::Key_Left:
        window_.focus(FocusTarget::FolderTree);
        return false;
    case Qt::Key_Right:
        window_.focus(FocusTarget::SongList);
        return true;
    default:
        return false;
    }
}

void FileBrowser::chooseSortByName() {
    fileList.setSortColumn(NameColumn);
    sortByDate = false;
}

void FileBrowser::chooseSortByDate() {
    fileList.setSortColumn(ModifiedColumn);
    sortByDate = true;
}

void FileBrowser::takeFileListEntry(int index) {
    FileListModel& files = fileList;
    if (index < 0 || index >= files.count()) return;
    songList_.addSong(tree_->path() + u'/' + files.caption(index));
}

void FileBrowser::takeAllFiles(bool focusTree) {
    FileListModel& files = fileList;
    const int n = files.count();
    // An add lets the event loop run; a folder listed meanwhile may have fewer entries.
    for (int i = 0; i < n && i < files.count(); ++i)
        takeFileListEntry(i);
    if (focusTree) window_.focus(FocusTarget::FolderTree);
    if (files.count() > 0) files.select(0);
}

void FileBrowser::removeFileListEntry(const QString& text, const QString& folder) {
    FileListModel& files = fileList;
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
