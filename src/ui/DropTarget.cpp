#include "ui/DropTarget.h"

#include "platform/FileUrl.h"

#include <QAbstractScrollArea>
#include <QDropEvent>
#include <QFontInfo>
#include <QMimeData>
#include <QScrollBar>
#include <QUrl>
#include <QWidget>

namespace {

constexpr DropEffect anyEffect = dropCopy | dropMove | dropLink;

QStringList localFiles(const QMimeData& data) {
    QStringList files;
    if (!data.hasUrls()) return files;
    for (const QUrl& url : data.urls())
        if (url.isLocalFile()) files << localPathOfUrl(url);
    return files;
}

} // namespace

DropTarget::DropTarget(QObject* owner) : QObject(owner) {
    scrollTimer_.setInterval(100);
    connect(&scrollTimer_, &QTimer::timeout, this, &DropTarget::onAutoScrollTick);
}

DropTarget::~DropTarget() {
    detach();
}

void DropTarget::attach(QWidget* control) {
    detach();
    control_ = control;
    if (!control) return;
    dropWidget_ = dropWidget();
    dropWidget_->setAcceptDrops(true);
    dropWidget_->installEventFilter(this);
}

void DropTarget::detach() {
    // Not endDrag(): detaching also runs in the destructor, where the data is no longer ours to clear.
    scrollTimer_.stop();
    held_ = false;
    fetched_ = false;
    if (dropWidget_) {
        dropWidget_->removeEventFilter(this);
        dropWidget_->setAcceptDrops(false);
    }
    dropWidget_ = nullptr;
    control_ = nullptr;
}

QWidget* DropTarget::dropWidget() const {
    if (auto* scrollArea = qobject_cast<QAbstractScrollArea*>(control_.data())) return scrollArea->viewport();
    return control_;
}

void DropTarget::takeArea() {
    area_ = DropArea{};
    if (!dropWidget_) return;
    area_.client = dropWidget_->size();
    area_.margin = QFontInfo(control_->font()).pixelSize();
    if (auto* scrollArea = qobject_cast<QAbstractScrollArea*>(control_.data())) {
        area_.horizontalBar = scrollArea->horizontalScrollBar()->isVisibleTo(scrollArea);
        area_.verticalBar = scrollArea->verticalScrollBar()->isVisibleTo(scrollArea);
    }
}

DropEffect DropTarget::effectFor(const QDropEvent& event) {
    DropEffect effect = static_cast<DropEffect>((event.possibleActions() & dropActions).toInt()) & anyEffect;
    if (chooseEffect)
        chooseEffect(event.modifiers(), pointer_, effect);
    else
        effect = standardDropEffect(event.modifiers(), effect);
    return effect | scrollMark(area_, pointer_);
}

void DropTarget::answer(QDropEvent& event, DropEffect effect) {
    Qt::DropAction action = Qt::IgnoreAction;
    if (effect & dropCopy)
        action = Qt::CopyAction;
    else if (effect & dropMove)
        action = Qt::MoveAction;
    else if (effect & dropLink)
        action = Qt::LinkAction;
    // Qt takes a refusal from the acceptance alone; it does not let the action be set to none.
    if (action != Qt::IgnoreAction) event.setDropAction(action);
    event.setAccepted(action != Qt::IgnoreAction);
}

void DropTarget::endDrag() {
    scrollTimer_.stop();
    held_ = false;
    fetched_ = false;
    clearData();
}

bool DropTarget::eventFilter(QObject* watched, QEvent* event) {
    if (watched != dropWidget_) return false;
    switch (event->type()) {
    case QEvent::DragEnter: {
        auto& e = static_cast<QDragEnterEvent&>(*event);
        endDrag();
        pointer_ = e.position().toPoint();
        // A drag without our kind of data is refused from now until it leaves.
        held_ = e.mimeData() && offersData(*e.mimeData());
        if (!held_) {
            answer(e, dropNone);
            return true;
        }
        takeArea();
        if (fetchDataOnEnter) fetched_ = fetchData(*e.mimeData());
        DropEffect effect = effectFor(e);
        if (onEnter) onEnter(e.modifiers(), pointer_, effect);
        answer(e, effect);
        return true;
    }
    case QEvent::DragMove: {
        auto& e = static_cast<QDragMoveEvent&>(*event);
        pointer_ = e.position().toPoint();
        if (!held_) {
            answer(e, dropNone);
            return true;
        }
        DropEffect effect = effectFor(e);
        if (onDragOver) onDragOver(e.modifiers(), pointer_, effect);
        const bool scroll = (area_.horizontalBar || area_.verticalBar) && (effect & dropScroll);
        if (!scroll)
            scrollTimer_.stop();
        else if (!scrollTimer_.isActive())
            scrollTimer_.start();
        answer(e, effect);
        return true;
    }
    case QEvent::DragLeave: {
        const bool wasHeld = held_;
        endDrag();
        if (wasHeld && onLeave) onLeave();
        return true;
    }
    case QEvent::Drop: {
        auto& e = static_cast<QDropEvent&>(*event);
        if (!held_) {
            answer(e, dropNone);
            return true;
        }
        scrollTimer_.stop();
        pointer_ = e.position().toPoint();
        DropEffect effect = effectFor(e);
        if (fetched_ || (e.mimeData() && fetchData(*e.mimeData()))) {
            if (onDrop) onDrop(e.modifiers(), pointer_, effect);
        } else {
            effect = dropNone;
        }
        answer(e, effect);
        endDrag();
        return true;
    }
    default:
        return false;
    }
}

void DropTarget::onAutoScrollTick() {
    auto* scrollArea = qobject_cast<QAbstractScrollArea*>(control_.data());
    if (!scrollArea) return;
    const QPoint step = autoScrollStep(area_, pointer_);
    const auto scroll = [](QScrollBar* bar, int by) {
        if (by)
            bar->triggerAction(by < 0 ? QAbstractSlider::SliderSingleStepSub
                                      : QAbstractSlider::SliderSingleStepAdd);
    };
    scroll(scrollArea->verticalScrollBar(), step.y());
    scroll(scrollArea->horizontalScrollBar(), step.x());
}

bool FileDropTarget::offersData(const QMimeData& data) const {
    return !localFiles(data).isEmpty();
}

bool FileDropTarget::fetchData(const QMimeData& data) {
    files = localFiles(data);
    return !files.isEmpty();
}
