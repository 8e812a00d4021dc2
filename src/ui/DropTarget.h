#pragma once
// A drop target component over Qt's drag and drop. Attached to a control, it takes the drags that
// carry its kind of data, answers the effect (the allowed dropActions, the keys held, a scroll mark near
// the edges), scrolls the control one line every 100 ms while the pointer stays near its top or
// bottom edge, and fires its events. FileDropTarget accepts drags of local files and hands their
// paths to onDrop.

#include "library/DroppedFiles.h"

#include <QObject>
#include <QPoint>
#include <QPointer>
#include <QStringList>
#include <QTimer>
#include <functional>

class QMimeData;
class QDropEvent;
class QWidget;

class DropTarget : public QObject {
    Q_OBJECT
public:
    // Shift state, pointer in the control's client coordinates, and the effect, which the handler may
    // change.
    using DropHandler = std::function<void(Qt::KeyboardModifiers shift, QPoint point, DropEffect& effect)>;

    explicit DropTarget(QObject* owner = nullptr);
    ~DropTarget() override;

    // Takes drags over control from now on; a control attached before is let go.
    void attach(QWidget* control);
    void detach();
    QWidget* control() const { return control_; }

    // The effects the target allows (copy, move, link).
    Qt::DropActions dropActions = Qt::CopyAction;
    // Fetch the data when the pointer enters, not only at the drop.
    bool fetchDataOnEnter = false;

    DropHandler onEnter;
    DropHandler onDragOver;
    DropHandler onDrop;
    // When set, decides the effect instead of the keys held (the scroll mark is added afterwards).
    DropHandler chooseEffect;
    std::function<void()> onLeave;

    // A drag with data this target takes is over the control.
    bool holdsData() const { return held_; }
    const DropArea& area() const { return area_; }
    QPoint pointer() const { return pointer_; }
    QTimer& autoScrollTimer() { return scrollTimer_; }
    // One auto-scroll step at the last pointer position (the timer's tick).
    void onAutoScrollTick();

protected:
    // Whether the drag's data is of the kind this target takes.
    virtual bool offersData(const QMimeData& data) const = 0;
    // Reads the data; false when it holds nothing usable.
    virtual bool fetchData(const QMimeData& data) = 0;
    virtual void clearData() = 0;

private:
    bool eventFilter(QObject* watched, QEvent* event) override;
    // The widget that receives the drag events: a scroll area's viewport, else the control.
    QWidget* dropWidget() const;
    void takeArea();
    DropEffect effectFor(const QDropEvent& event);
    // Tells Qt the effect: the action, or a refusal.
    static void answer(QDropEvent& event, DropEffect effect);
    void endDrag();

    QPointer<QWidget> control_;
    QPointer<QWidget> dropWidget_;
    bool held_ = false;
    bool fetched_ = false;
    DropArea area_;
    QPoint pointer_;
    QTimer scrollTimer_;
};

class FileDropTarget : public DropTarget {
    Q_OBJECT
public:
    using DropTarget::DropTarget;

    // The dropped files' local paths in the source's order; valid inside onDrop only.
    QStringList files;

protected:
    bool offersData(const QMimeData& data) const override;
    bool fetchData(const QMimeData& data) override;
    void clearData() override { files.clear(); }
};
