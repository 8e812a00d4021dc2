#pragma once
// Making the window's controls at their places, in client pixels.

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
