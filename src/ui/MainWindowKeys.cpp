// The window's keys: a preview of every key before the focused control gets it, Escape on the play
// button, and the keys the song list and the station list handle after the preview.

#include "ui/MainWindow.h"
#include "ui/SongListView.h"

#include <QApplication>
#include <QKeyEvent>
#include <QListView>
#include <QPlainTextEdit>
#include <QPushButton>
#include <functional>

namespace {

// An event filter made of a function.
class FunctionFilter : public QObject {
public:
    explicit FunctionFilter(std::function<bool(QObject*, QEvent*)> filter) : filter_(std::move(filter)) {}
    bool eventFilter(QObject* watched, QEvent* event) override { return filter_(watched, event); }

private:
    std::function<bool(QObject*, QEvent*)> filter_;
};

} // namespace

void MainWindow::bindKeys() {
    // An application filter sees a key before the receiver and before the receiver's own filters. A key
    // the receiver leaves unused travels on to its parents and passes the filter again, so only the
    // first delivery counts: to the focus widget, or to the window when nothing in it has the focus.
    // The form's own eventFilter cannot do this job: it is also installed on some controls and would
    // see their keys twice.
    keyPreview_ = new FunctionFilter([this](QObject* watched, QEvent* event) {
        // A window that loses the focus (Alt+Tab) never sees the release that would end the ending
        // preview; losing the focus ends it instead.
        if (event->type() == QEvent::WindowDeactivate && watched == this) {
            player_->guarded([this] { player_->keys.onWindowKeyRelease(); });
            return false;
        }
        if (event->type() != QEvent::KeyPress && event->type() != QEvent::KeyRelease) return false;
        if (!watched->isWidgetType()) return false;
        auto* receiver = static_cast<QWidget*>(watched);
        if (receiver->window() != this) return false;
        QWidget* focus = QApplication::focusWidget();
        if (focus ? receiver != focus : receiver != this) return false;
        return previewKey(receiver, static_cast<QKeyEvent*>(event));
    });
    qApp->installEventFilter(keyPreview_);
    songListView->installEventFilter(this);
}

bool MainWindow::previewKey(QWidget* receiver, QKeyEvent* event) {
    Player& p = *player_;
    if (event->type() == QEvent::KeyRelease) {
        // Auto-repeat sends releases too; only a real release ends the ending preview.
        if (!event->isAutoRepeat()) p.guarded([&p] { p.keys.onWindowKeyRelease(); });
        return false;
    }
    bool used = false;
    const bool inTextEditor = receiver == stationEditorText;
    p.guarded([&] { used = p.keys.onWindowKey(event->key(), event->modifiers(), inTextEditor); });
    // The play button is the window's cancel button: Escape without Shift, Ctrl or Alt clicks it.
    if (!used && event->key() == Qt::Key_Escape &&
        !(event->modifiers() & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier)) &&
        playButton->isVisible() && playButton->isEnabled()) {
        playButton->click();
        used = true;
    }
    return used;
}

bool MainWindow::controlKeyDown(QObject* watched, QKeyEvent* event) {
    Player& p = *player_;
    bool used = false;
    if (watched == songListView)
        p.guarded([&] { used = p.keys.onSongListKey(event->key()); });
    else if (watched == stationListView)
        p.guarded([&] { p.keys.onStationListKey(event->key()); });
    return used;
}
