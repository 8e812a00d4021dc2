// The window's radio controls: the station list, the station list editor with its update from the
// server, and the playlist entries panel. Each is made the first time it shows.

#include "ui/MainWindow.h"
#include "ui/PlacedControls.h"
#include "ui/StateBinding.h"

#include <QAbstractButton>
#include <QCoreApplication>
#include <QEvent>
#include <QFrame>
#include <QListView>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <algorithm>
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

QWidget* MainWindow::buildStationList() {
    Player& p = *player_;
    // The station list lies over the song list, under the station list editor.
    stationListView = place(new QListView(client), 608, 32, 225, 150);
    if (radioPanel) stationListView->stackUnder(radioPanel);
    bindList(p.radio.stations, stationListView);
    new StationListEvents(stationListView, [&p] { p.guarded([&p] { p.radio.startSelectedStation(); }); });
    // Its keys reach the window's filter after the preview (MainWindowKeys.cpp).
    stationListView->installEventFilter(this);
    hideHintOn(stationListView, QEvent::Show);
    return stationListView;
}

QWidget* MainWindow::buildStationEditor() {
    Player& p = *player_;
    // The station list editor covers the file list and the station list.
    radioPanel = raisedPanel(client, 384, 32, 449, 158);
    stationEditorText = place(new QPlainTextEdit(radioPanel), 2, 2, 340, 154);
    stationEditorText->setLineWrapMode(QPlainTextEdit::NoWrap);
    stationEditorText->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    saveStationsButton = button(radioPanel, QStringLiteral("speichern"), 348, 4, 96);
    closeEditorButton = button(radioPanel, QStringLiteral("exit"), 348, 32, 96);
    updateStationsButton = button(radioPanel, QStringLiteral("update vom Server "), 348, 72, 96);
    appendChoice = place(new QRadioButton(QStringLiteral("anhängen"), radioPanel), 348, 100, 96, 20);
    overwriteChoice = place(new QRadioButton(QStringLiteral("überschreiben"), radioPanel), 348, 122, 96, 20);
    // The column of buttons is as wide as its widest caption needs in the window's font; the text
    // takes the rest of the panel.
    int column = 96;
    const QList<QWidget*> controls{saveStationsButton, closeEditorButton, updateStationsButton, appendChoice,
                                   overwriteChoice};
    for (QWidget* control : controls)
        column = std::max(column, control->sizeHint().width());
    const int columnLeft = radioPanel->width() - 5 - column;
    stationEditorText->resize(columnLeft - 8, stationEditorText->height());
    for (QWidget* control : controls)
        control->setGeometry(columnLeft, control->y(), column, control->height());
    // The delete confirmation, where it was made first, stays on top.
    if (deletePanel) radioPanel->stackUnder(deletePanel);

    bindLines(p.editor.text, stationEditorText);
    onClick(saveStationsButton, [&p] { p.editor.saveStationList(); });
    onClick(closeEditorButton, [&p] { p.editor.closeStationEditor(); });
    onClick(updateStationsButton, [&p] { p.update.fetchStationUpdate(); });
    // The merge choice lives in the state; the two radio buttons show it.
    Shown<bool>& append = p.editor.appendChoice;
    (append.get() ? appendChoice : overwriteChoice)->setChecked(true);
    append.onChange([this](bool a) { (a ? appendChoice : overwriteChoice)->setChecked(true); });
    connect(appendChoice, &QRadioButton::toggled, this, [&append](bool checked) { append = checked; });
    hideHintOn(radioPanel, QEvent::Show);
    return radioPanel;
}

QWidget* MainWindow::buildEntryPanel() {
    Player& p = *player_;
    // The playlist entries panel lies over the folder tree.
    entryPanel = raisedPanel(client, 160, 32, 220, 158);
    entryListView = place(new QListView(entryPanel), 2, 2, 216, 124);
    closeEntriesButton = button(entryPanel, QStringLiteral("exit"), 4, 130, 60);
    addStationButton = button(entryPanel, QStringLiteral("Sender hinzufügen"), 70, 130, 144);

    bindList(p.update.entries, entryListView);
    onClick(addStationButton, [&p] { p.update.addEntryAsStation(); });
    onClick(closeEntriesButton, [&p] { p.update.closeEntryPanel(); });
    connect(entryListView, &QListView::clicked, this,
            [&p] { p.guarded([&p] { p.update.playSelectedEntry(); }); });
    return entryPanel;
}
