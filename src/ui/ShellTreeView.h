#pragma once
// The folder tree: all folders of the file system from "/" down, hidden ones included, without
// files, icons or header. Nodes are indexes of its QFileSystemModel; "/" is the top node (level 0).
//
// The model reads folders on a thread of its own, so a folder's subfolders appear some time after
// the folder is first shown or expanded. Walks over the tree (the following node, the number of
// children) see only what has been read: call waitForLoad first. Nothing is read before
// startReading (or the first setPath).

#include "library/FolderTree.h"
#include "ui/FocusFrame.h"

#include <QPersistentModelIndex>
#include <QSet>
#include <QString>
#include <QTreeView>

class QFileSystemModel;

class ShellTreeView : public QTreeView, public FolderTree {
    Q_OBJECT
public:
    explicit ShellTreeView(QWidget* parent = nullptr);

    QFileSystemModel* fileSystemModel() const { return model_; }

    // Reads "/" and shows the model; selecting a folder does it first.
    void startReading() override;

    // The folder of the selected node; empty when nothing is selected.
    QString path() const override;
    // Selects the node of folder (an absolute path), opening its parents and scrolling it into
    // view, also again once the parents' other subfolders have been read. False when folder is
    // no folder; the selection then stays.
    bool setPath(const QString& folder) override;

    QModelIndex selectedNode() const override;
    void openNode(const QModelIndex& node) override { expand(node); }
    void selectNode(const QModelIndex& node) override;

    QString nodePath(const QModelIndex& node) const;
    // The text the tree shows for node.
    QString nodeText(const QModelIndex& node) const override;
    // Whether node's folder holds a folder; asks the file system, so it is right also before the
    // model has read the folder.
    bool hasSubfolders(const QModelIndex& node) const override;
    // The rectangle of node's text in viewport coordinates; empty when it is not laid out.
    QRect nodeTextRect(const QModelIndex& node) const;
    // The number of subfolders of node the model has read.
    int childCount(const QModelIndex& node) const override;

    // The first node visible at the top of the tree, and scrolling so that node is at the top (as
    // far as the tree can scroll).
    QModelIndex topNode() const override;
    void setTopNode(const QModelIndex& node) override;
    // The node below node in the tree's order: its first child when it is open and has children,
    // else its next sibling, else the next sibling of its nearest ancestor that has one; invalid
    // after the last node.
    QModelIndex nextNode(const QModelIndex& node) const override;

    // Whether the subfolders of node's folder have been read.
    bool isLoaded(const QModelIndex& node) const;
    // Starts reading the subfolders of node and of all its ancestors where needed and lets the
    // event loop run until they are all read (then they are also sorted), or timeoutMs passes.
    // Returns whether all were read.
    bool waitForLoad(const QModelIndex& node, int timeoutMs = 10000) override;

    // Draws a one-pixel frame around rect (viewport coordinates) until the tree scrolls, its
    // selection changes or it is called again; an empty rect removes it.
    void drawFocusFrame(const QRect& rect, const QColor& color);

signals:
    // The selected node changed (by the user or by the program).
    void change();
    // A left click anywhere in the tree, after the tree has handled it.
    void click();
    // Sent before the tree handles a key. A handler that accepts the event consumes the key.
    void keyDown(QKeyEvent* event);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;

private:
    void folderLoaded(const QString& folder);
    void revealPending();

    QFileSystemModel* model_;
    QSet<QString> loaded_;
    // The node setPath chose, scrolled into view again while its parents are still being read.
    QPersistentModelIndex reveal_;
    FocusFrame frame_;
};
