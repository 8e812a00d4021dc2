#pragma once
// Hot keys on a Wayland desktop, where no client may grab keys: the desktop's global-shortcuts portal
// (org.freedesktop.portal.GlobalShortcuts on the session bus) binds them, may ask the user first, and
// reports each press. Where the desktop offers no such portal, one line on standard error says so.

#include "platform/HotKeys.h"

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QObject>
#include <QString>
#include <QVariantMap>
#include <map>

// One entry of the portal's shortcut list: an identifier of the application's own and its
// "description" and "preferred_trigger".
struct PortalShortcut {
    QString id;
    QVariantMap properties;
};
using PortalShortcuts = QList<PortalShortcut>;
Q_DECLARE_METATYPE(PortalShortcut)

QDBusArgument& operator<<(QDBusArgument& argument, const PortalShortcut& shortcut);
const QDBusArgument& operator>>(const QDBusArgument& argument, PortalShortcut& shortcut);

class PortalHotKeys : public QObject, public IHotKeySource {
    Q_OBJECT
public:
    static inline const QString serviceName = QStringLiteral("org.freedesktop.portal.Desktop");
    static inline const QString objectPath = QStringLiteral("/org/freedesktop/portal/desktop");
    static inline const QString interfaceName = QStringLiteral("org.freedesktop.portal.GlobalShortcuts");

    explicit PortalHotKeys(const QDBusConnection& bus);
    ~PortalHotKeys() override;

    // Keys registered in one pass of the event loop are bound together in one session, once the loop
    // runs. The answer comes later, so true only says the request will be made: the key is known,
    // without modifiers, not registered under another identifier, and the session bus is there.
    bool registerHotKey(int id, unsigned modifiers, HotKey key) override;
    // The last key released closes the session at once, so the desktop frees the keys.
    void unregisterHotKey(int id) override;

    // Once the desktop turned out to have no such portal, or refused the keys; said once on stderr.
    bool unavailable() const { return unavailable_; }

private slots:
    void onResponse(uint response, const QVariantMap& results);
    void onActivated(const QDBusMessage& message);

private:
    enum class Step { None, CreatingSession, BindingShortcuts };

    void scheduleBind();
    void bind();
    void bindShortcuts();
    // Calls a portal method whose answer comes as a Response signal on a request object.
    void request(Step step, const QString& method, QVariantList arguments, QVariantMap options);
    void awaitResponse(const QString& requestPath);
    void stopAwaiting();
    void endSession();
    void giveUp();
    QString nextToken();

    QDBusConnection bus_;
    // Identifier -> what the portal is asked to bind.
    std::map<int, PortalShortcut> keys_;
    QString session_;
    QString awaited_;
    Step step_ = Step::None;
    bool bindQueued_ = false;
    bool unavailable_ = false;
    int tokens_ = 0;
};
