// The window's shell: the program icon in the corner, moving the window by its title, "Taskbar" and
// the notification-area icon, the delete confirmation's buttons and the song list's drop target.
#include "ui/SongListView.h"
#include "ui/TForm1.h"

#include "library/DroppedFiles.h"
#include "ui/EventHook.h"
#include "platform/ByteText.h"
#include "ui/Pictures.h"
#include "ui/TDropTarget.h"
#include "ui/TTaskBarIcon.h"

#include <QEvent>
#include <QLabel>
#include <QListView>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>

namespace {

constexpr QPoint iconPlace{3, 3};
constexpr int iconSize = 32;

} // namespace

void TForm1::bindShell() {
    Player& p = *player_;

    TaskBarIcon1 = new TTaskBarIcon(this);
    TaskBarIcon1->setIcon(programIcon());
    p.s.display.tip.onChange([this](const QString& tip) { TaskBarIcon1->setTip(displayText(tip)); });
    shell_ = std::make_unique<WindowShell>(p, *TaskBarIcon1);
    TaskBarIcon1->OnDown = [this, &p](Qt::MouseButton button, Qt::KeyboardModifiers, int x, int y) {
        p.guarded([&] { shell_->TaskBarIcon1Down(button, x, y); });
    };

    // FormPaint: the icon in the corner, over the client area's background.
    new EventHook(client, [this](QEvent* event) {
        if (event->type() == QEvent::Paint)
            QPainter(client).drawPixmap(iconPlace, TaskBarIcon1->Icon().pixmap(iconSize, iconSize));
        return false;
    });
    new EventHook(SongL, [this, &p](QEvent* event) {
        if (event->type() == QEvent::MouseButtonPress || event->type() == QEvent::MouseButtonDblClick) {
            const QPoint at = static_cast<QMouseEvent*>(event)->position().toPoint();
            p.guarded([&] { shell_->SongLMouseDown(at.x(), at.y()); });
        } else if (event->type() == QEvent::MouseMove) {
            const auto* mouse = static_cast<QMouseEvent*>(event);
            const QPoint cursor = mouse->globalPosition().toPoint();
            p.guarded([&] { shell_->SongLMouseMove(mouse->buttons() & Qt::LeftButton, cursor); });
        }
        return false;
    });
    new EventHook(TaskbarL, [this, &p](QEvent* event) {
        if (event->type() != QEvent::MouseButtonRelease) return false;
        const auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->button() == Qt::LeftButton && TaskbarL->rect().contains(mouse->position().toPoint()))
            p.guarded([this] { shell_->TaskbarLClick(); });
        return true;
    });

    // The delete confirmation: Enter answers with the button that has the focus.
    for (QPushButton* answer : {jaB, neinB})
        answer->setAutoDefault(true);
    connect(jaB, &QPushButton::clicked, this, [&p] { p.guarded([&p] { p.deletion.jaBClick(); }); });
    connect(neinB, &QPushButton::clicked, this, [&p] { p.guarded([&p] { p.deletion.neinBClick(); }); });

    DropFileTarget1 = new TDropFileTarget(this);
    DropFileTarget1->Dragtypes = Qt::CopyAction;
    DropFileTarget1->OnDrop = [this, &p](Qt::KeyboardModifiers, QPoint, DropEffect&) {
        p.guarded([&] { DropFileTarget1Drop(p, DropFileTarget1->Files); });
    };
    DropFileTarget1->attach(songLB);
}
