#pragma once
// A folder tree for unit tests: a flat list of node texts under one top node, a selected path that
// setPath records, and the top visible node.

#include "library/FolderTree.h"

#include <QStandardItemModel>
#include <QStringList>

class FakeFolderTree : public FolderTree {
public:
    explicit FakeFolderTree(const QStringList& nodes = {}) {
        auto* top = new QStandardItem(QStringLiteral("/"));
        model.appendRow(top);
        for (const QString& text : nodes)
            top->appendRow(new QStandardItem(text));
        top_ = model.index(0, 0);
    }

    QStandardItemModel model;
    QString selectedPath;
    QStringList pathsSet;

    QModelIndex selectedNode() const override { return selected_; }
    void selectNode(const QModelIndex& node) override { selected_ = node; }
    QString path() const override { return selectedPath; }
    bool setPath(const QString& folder) override {
        pathsSet << folder;
        selectedPath = folder;
        return true;
    }
    QString nodeText(const QModelIndex& node) const override { return node.data().toString(); }
    bool hasSubfolders(const QModelIndex& node) const override { return model.rowCount(node) > 0; }
    int childCount(const QModelIndex& node) const override { return model.rowCount(node); }
    QModelIndex topNode() const override { return top_; }
    void setTopNode(const QModelIndex& node) override { top_ = node; }
    QModelIndex nextNode(const QModelIndex& node) const override {
        if (model.rowCount(node) > 0) return model.index(0, 0, node);
        for (QModelIndex n = node; n.isValid(); n = n.parent()) {
            const QModelIndex sibling = n.siblingAtRow(n.row() + 1);
            if (sibling.isValid()) return sibling;
        }
        return {};
    }
    bool waitForLoad(const QModelIndex&, int) override { return true; }

private:
    QModelIndex top_;
    QModelIndex selected_;
};
