#include "ui/SongListView.h"

#include <QMouseEvent>

SongListView::SongListView(QWidget* parent) : QListView(parent) {
    // Moves without a button held update the tooltip for long titles.
    setMouseTracking(true);
    // The song list moves rows itself; the view's own drag would fight it.
    setDragEnabled(false);
}

void SongListView::mousePressEvent(QMouseEvent* event) {
    // Only the left button selects, plays, moves or removes a row.
    if (event->button() != Qt::LeftButton) return;
    QListView::mousePressEvent(event);
    const QPoint at = event->position().toPoint();
    emit mouseDown(at.x(), at.y());
}

void SongListView::mouseMoveEvent(QMouseEvent* event) {
    // The list's own move handling would drag a selection; the song list's move gesture replaces it.
    const QPoint at = event->position().toPoint();
    emit mouseMove(event->buttons() & Qt::LeftButton, at.x(), at.y());
}

void SongListView::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return;
    QListView::mouseReleaseEvent(event);
    const QPoint at = event->position().toPoint();
    emit mouseUp(at.x(), at.y());
}
