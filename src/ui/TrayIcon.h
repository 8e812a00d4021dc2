#pragma once
// The notification-area icon component over QSystemTrayIcon: visibility, icon, tip (at most 63
// characters) and the mouse signals. Qt reports a left click, a right click, a middle click and a
// double click, so pressed comes for the three buttons and doubleClicked for the left one; Qt reports
// no button release or pointer move over the icon, so there are no signals for those. The modifiers
// passed with the signals are always empty.

#include "app/WindowShell.h"

#include <QIcon>
#include <QObject>
#include <QString>
#include <QSystemTrayIcon>
#include <memory>

// The tip the icon keeps of a text: its first 63 characters, and nothing from a zero character on.
QString taskBarTip(const QString& text);
// What the icon hands to the desktop as its tool tip for a tip: the tip as plain text, one line.
QString toolTipText(const QString& tip);

class TrayIcon : public QObject, public INotificationIcon {
    Q_OBJECT
public:
    explicit TrayIcon(QObject* owner = nullptr);
    ~TrayIcon() override;

    bool isVisible() const override { return visible_; }
    void setVisible(bool visible) override;
    bool areaAvailable() const override;

    QIcon icon() const { return icon_; }
    void setIcon(const QIcon& icon);
    QString tip() const { return tip_; }
    void setTip(const QString& text);

    // Qt's report of a click on the icon, turned into the events; the pointer is read here.
    void activated(QSystemTrayIcon::ActivationReason reason);
    // The tool tip as handed to the desktop.
    QString toolTip() const;
    // Where the icon is on the screen (empty while it is not shown).
    QRect geometry() const;

signals:
    // Button, modifiers, the pointer's position on the screen.
    void pressed(Qt::MouseButton button, Qt::KeyboardModifiers modifiers, int x, int y);
    void doubleClicked(Qt::MouseButton button, Qt::KeyboardModifiers modifiers, int x, int y);

private:
    // Made when the icon is first shown: most runs never hide into the notification area, and making it
    // asks the desktop's notification services.
    std::unique_ptr<QSystemTrayIcon> tray_;
    QIcon icon_;
    QString tip_;
    bool visible_ = false;
};
