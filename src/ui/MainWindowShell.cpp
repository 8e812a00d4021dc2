// The window's shell: the program icon in the corner, moving the window by its title, "Taskbar" and
// the notification-area icon, the delete confirmation (made the first time it shows) and the song list's
// drop target.
#include "ui/MainWindow.h"
#include "ui/SongListView.h"

#include "library/DroppedFiles.h"
#include "platform/ByteText.h"
#include "ui/DropTarget.h"
#include "ui/EventHook.h"
#include "ui/Pictures.h"
#include "ui/PlacedControls.h"
#include "ui/StateBinding.h"
#include "ui/TrayIcon.h"

#include <QEvent>
#include <QFrame>
#include <QLabel>
#include <QListView>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QPushButton>
#include <QWindow>

namespace {

constexpr QPoint iconPlace{3, 3};
constexpr int iconSize = 32;

} // namespace

void MainWindow::bindShell() {
    Player& p = *player_;

    trayIcon = new TrayIcon(this);
    p.channel.tip.onChange([this](const QString& tip) { trayIcon->setTip(displayText(tip)); });
    shell_ = std::make_unique<WindowShell>(p.window(), p.dialogs(), *trayIcon);
    connect(trayIcon, &TrayIcon::pressed, this,
            [this, &p](Qt::MouseButton button, Qt::KeyboardModifiers, int x, int y) {
                p.guarded([&] { shell_->onTrayIconPress(button, x, y); });
            });

    // The icon in the corner, over the client area's background. The client area is painted under
    // every control that repaints (the position bar while a song plays): the icon is drawn only when
    // its corner is part of what is painted.
    new EventHook(client, [this](QEvent* event) {
        constexpr QRect iconRect(iconPlace, QSize(iconSize, iconSize));
        if (event->type() == QEvent::Paint && static_cast<QPaintEvent*>(event)->region().intersects(iconRect))
            QPainter(client).drawPixmap(iconPlace, picture().pixmap(iconSize, iconSize));
        return false;
    });
    new EventHook(titleStrip, [this, &p](QEvent* event) {
        if (event->type() == QEvent::MouseButtonPress || event->type() == QEvent::MouseButtonDblClick) {
            const auto* mouse = static_cast<QMouseEvent*>(event);
            const QPoint at = mouse->position().toPoint();
            p.guarded([&] { shell_->onTitleStripPress(at.x(), at.y()); });
            // A Wayland window cannot move itself: the compositor moves it with the pointer until release.
            if (mouse->button() == Qt::LeftButton && !positionKnown()) windowHandle()->startSystemMove();
        } else if (event->type() == QEvent::MouseMove) {
            const auto* mouse = static_cast<QMouseEvent*>(event);
            const QPoint cursor = mouse->globalPosition().toPoint();
            p.guarded([&] { shell_->onTitleStripMove(mouse->buttons() & Qt::LeftButton, cursor); });
        }
        return false;
    });
    new EventHook(trayLabel, [this, &p](QEvent* event) {
        if (event->type() != QEvent::MouseButtonRelease) return false;
        const auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->button() == Qt::LeftButton && trayLabel->rect().contains(mouse->position().toPoint()))
            p.guarded([this] { shell_->hideToTray(); });
        return true;
    });

    songDropTarget = new FileDropTarget(this);
    songDropTarget->dropActions = Qt::CopyAction;
    songDropTarget->onDrop = [this, &p](Qt::KeyboardModifiers, QPoint, DropEffect&) {
        p.guarded([&] { takeDroppedFiles(p.songList, songDropTarget->files); });
    };
    songDropTarget->attach(songListView);
}

QWidget* MainWindow::buildDeletePanel() {
    Player& p = *player_;
    // The delete confirmation lies over the file list.
    deletePanel = raisedPanel(client, 416, 40, 185, 89);
    deleteCaptionLabel = place(label(deletePanel, QStringLiteral("Datei:")), 8, 4, 170, 14);
    deleteFileLabel = place(label(deletePanel, QStringLiteral("X")), 8, 20, 170, 14);
    QPalette red = deleteFileLabel->palette();
    red.setColor(QPalette::WindowText, Qt::red);
    deleteFileLabel->setPalette(red);
    deleteQuestionLabel = place(label(deletePanel, QStringLiteral("löschen?")), 8, 36, 170, 14);
    yesButton = button(deletePanel, QStringLiteral("ja"), 8, 56, 75);
    noButton = button(deletePanel, QStringLiteral("nein"), 100, 56, 75);

    bindText(p.deletion.fileLabel, deleteFileLabel);
    // Enter answers with the button that has the focus.
    for (QPushButton* answer : {yesButton, noButton})
        answer->setAutoDefault(true);
    onClick(yesButton, [&p] { p.deletion.confirmDeletion(); });
    onClick(noButton, [&p] { p.deletion.cancelDeletion(); });
    return deletePanel;
}

const QIcon& MainWindow::picture() {
    if (picture_.isNull()) picture_ = programIcon();
    return picture_;
}
