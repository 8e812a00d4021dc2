#pragma once
// The song list box: a list view that reports the pointer's presses, moves and releases in its
// viewport after the list has handled them (a press first selects the row under the pointer, as a list
// box does), so the window can run the song list's gestures. Only the left button counts; the others
// neither select nor play.

#include <QListView>

class SongListView : public QListView {
    Q_OBJECT
public:
    explicit SongListView(QWidget* parent = nullptr);

signals:
    void mouseDown(int x, int y);
    void mouseMove(bool leftButtonHeld, int x, int y);
    void mouseUp(int x, int y);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
};
