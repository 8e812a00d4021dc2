// The window's shell: the program icon in the corner, moving the window by its title, "Taskbar" and
// the notification-area icon, the delete confirmation's buttons and the song list's drop target.
#include "ui/MainWindow.h"
#include "ui/SongListView.h"

#include "library/DroppedFiles.h"
#include "platform/ByteText.h"
#include "ui/DropTarget.h"
#include "ui/EventHook.h"
#include "ui/Pictures.h"
#include "ui/TrayIcon.h"

#include <QEvent>
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
    trayIcon->setIcon(programIcon());
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
            QPainter(client).drawPixmap(iconPlace, trayIcon->icon().pixmap(iconSize, iconSize));
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

    // The delete confirmation: Enter answers with the button that has the focus.
    for (QPushButton* answer : {yesButton, noButton})
        answer->setAutoDefault(true);
    connect(yesButton, &QPushButton::clicked, this,
            [&p] { p.guarded([&p] { p.deletion.confirmDeletion(); }); });
    connect(noButton, &QPushButton::clicked, this,
            [&p] { p.guarded([&p] { p.deletion.cancelDeletion(); }); });

    songDropTarget = new FileDropTarget(this);
    songDropTarget->dropActions = Qt::CopyAction;
    songDropTarget->onDrop = [this, &p](Qt::KeyboardModifiers, QPoint, DropEffect&) {
        p.guarded([&] { takeDroppedFiles(p.songList, songDropTarget->files); });
    };
    songDropTarget->attach(songListView);
}
