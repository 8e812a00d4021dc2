#pragma once
// Hands a widget's events to a function before the widget sees them; true consumes the event. The hook
// lives as long as the widget.

#include <QObject>
#include <QWidget>
#include <functional>

class EventHook : public QObject {
    Q_OBJECT
public:
    EventHook(QWidget* widget, std::function<bool(QEvent*)> handler)
        : QObject(widget), handler_(std::move(handler)) {
        widget->installEventFilter(this);
    }
    bool eventFilter(QObject*, QEvent* event) override { return handler_(event); }

private:
    std::function<bool(QEvent*)> handler_;
};
