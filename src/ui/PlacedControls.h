#pragma once
// Making the window's controls at their places, in client pixels.

#include <QFrame>
#include <QLabel>
#include <QPushButton>

template <class W> W* place(W* widget, int left, int top, int width, int height) {
    widget->setGeometry(left, top, width, height);
    return widget;
}

inline QLabel* label(QWidget* parent, const QString& text) {
    auto* l = new QLabel(text, parent);
    l->setTextFormat(Qt::PlainText);
    return l;
}

inline QPushButton* button(QWidget* parent, const QString& text, int left, int top, int width = 75,
                           int height = 25) {
    return place(new QPushButton(text, parent), left, top, width, height);
}

// A panel that lies over other controls: raised, and filled so nothing beneath shows through.
inline QFrame* raisedPanel(QWidget* parent, int left, int top, int width, int height) {
    auto* panel = place(new QFrame(parent), left, top, width, height);
    panel->setFrameStyle(QFrame::Panel | QFrame::Raised);
    panel->setAutoFillBackground(true);
    return panel;
}
