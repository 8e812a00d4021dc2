#pragma once
// The notification-area icon component over QSystemTrayIcon: Visible, Icon, Tip (at most 63
// characters) and the mouse events. Qt reports a left click, a right click, a middle click and a
// double click, so OnDown fires for the three buttons and OnDblClick for the left one; Qt reports no
// button release or pointer move over the icon, so OnUp and OnMouseMove never fire. The shift state
// passed with the events is always empty.

#include "app/WindowShell.h"

#include <QIcon>
#include <QObject>
#include <QString>
#include <QSystemTrayIcon>
#include <functional>

// The tip the icon keeps of a text: its first 63 characters, and nothing from a zero character on.
QString taskBarTip(const QString& text);
// What the icon hands to the desktop as its tool tip for a tip: the tip as plain text, one line.
QString toolTipText(const QString& tip);

class TrayIcon : public QObject, public INotificationIcon {
    Q_OBJECT
public:
    using MouseHandler =
        std::function<void(Qt::MouseButton button, Qt::KeyboardModifiers shift, int X, int Y)>;
    using MouseMoveHandler = std::function<void(Qt::KeyboardModifiers shift, int X, int Y)>;

    explicit TrayIcon(QObject* owner = nullptr);
    ~TrayIcon() override;

    bool Visible() const override { return visible_; }
    void setVisible(bool visible) override;
    bool areaAvailable() const override;

    QIcon Icon() const { return icon_; }
    void setIcon(const QIcon& icon);
    QString Tip() const { return tip_; }
    void setTip(const QString& text);

    MouseHandler OnDown;
    MouseHandler OnUp;
    MouseHandler OnDblClick;
    MouseMoveHandler OnMouseMove;

    // Qt's report of a click on the icon, turned into the events; the pointer is read here.
    void activated(QSystemTrayIcon::ActivationReason reason);
    // The tool tip as handed to the desktop.
    QString toolTip() const { return tray_.toolTip(); }
    // Where the icon is on the screen (empty while it is not shown).
    QRect geometry() const { return tray_.geometry(); }

private:
    QSystemTrayIcon tray_;
    QIcon icon_;
    QString tip_;
    bool visible_ = false;
};
