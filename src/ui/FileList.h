#pragma once
// The file list widget: a report view of a FileListModel without header and horizontal scroll
// bar, several entries selectable, captions not editable. It shows the wait cursor while the model
// lists a folder and tells the window about clicks, keys and focus changes.

#include "library/FileListModel.h"
#include "ui/FocusFrame.h"

#include <QColor>
#include <QRect>
#include <QTreeView>

class FileListWidget : public QTreeView {
    Q_OBJECT
public:
    // Shows files, or a model of its own when none is given.
    explicit FileListWidget(QWidget* parent = nullptr, FileListModel* files = nullptr);
    ~FileListWidget() override;

    // The properties, entries and selection; the player's operations work on this.
    FileListModel& files() const { return *files_; }

    // The bounds of an entry's whole row in viewport coordinates; empty for no entry.
    QRect entryRect(int index) const;
    // Draws a one-pixel frame around rect (viewport coordinates) until the list's contents,
    // selection or scroll position change; an empty rect removes it.
    void drawFocusFrame(const QRect& rect, const QColor& color);

signals:
    // A left click anywhere in the list, after the list has handled it.
    void click();
    // Sent before the list handles a key. A handler that accepts the event consumes the key.
    void keyDown(QKeyEvent* event);
    // The list got or lost the keyboard focus.
    void focusEntered();
    void focusLeft();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;

private:
    void applyColumns();
    void clearFrame();

    FileListModel* files_;
    int waitCursors_ = 0;
    FocusFrame frame_;
};
