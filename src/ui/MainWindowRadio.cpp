// The window's radio controls: the station list, the station list editor with its update from the
// server, and the playlist entries panel.

#include "ui/MainWindow.h"

#include <QAbstractButton>
#include <QCoreApplication>
#include <QEvent>
#include <QListView>
#include <QMouseEvent>
#include <QPushButton>
#include <QRadioButton>
#include <functional>

namespace {

// Runs an action after a list has handled a mouse press, so the action sees the row the press
// selected. Enter reaches the same action through the window's keys (MainWindowKeys.cpp).
class StationListEvents : public QObject {
public:
    StationListEvents(QListView* list, std::function<void()> action)
        : QObject(list), viewport_(list->viewport()), action_(std::move(action)) {
        viewport_->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        // Only pointers are compared: events also come while the list is being destroyed.
        if (watched == viewport_ && event->type() == QEvent::MouseButtonPress) {
            // Only the left button starts a station, as for the song list; the others do nothing.
            if (static_cast<QMouseEvent*>(event)->button() != Qt::LeftButton) return true;
            // The list moves its selection first, then the station starts.
            watched->removeEventFilter(this);
            QCoreApplication::sendEvent(watched, event);
            watched->installEventFilter(this);
            action_();
            return true;
        }
        return false;
    }

private:
    QWidget* viewport_;
    std::function<void()> action_;
};

} // namespace

void MainWindow::bindRadio() {
    Player& p = *player_;
    const auto on = [&p](QAbstractButton* b, std::function<void()> handler) {
        connect(b, &QAbstractButton::clicked, b, [&p, handler] { p.guarded(handler); });
    };
    new StationListEvents(stationListView, [&p] { p.guarded([&p] { p.radio.startSelectedStation(); }); });

    on(updateStationsButton, [&p] { p.update.fetchStationUpdate(); });
    on(addStationButton, [&p] { p.update.addEntryAsStation(); });
    on(closeEntriesButton, [&p] { p.update.closeEntryPanel(); });
    connect(entryListView, &QListView::clicked, this,
            [&p] { p.guarded([&p] { p.update.playSelectedEntry(); }); });

    // The merge choice lives in the state; the two radio buttons show it.
    Shown<bool>& append = p.editor.appendChoice;
    (append.get() ? appendChoice : overwriteChoice)->setChecked(true);
    append.onChange([this](bool a) { (a ? appendChoice : overwriteChoice)->setChecked(true); });
    connect(appendChoice, &QRadioButton::toggled, this, [&append](bool checked) { append = checked; });
}
