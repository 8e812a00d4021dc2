#include "platform/PortalHotKeys.h"

#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <algorithm>
#include <cstdio>
#include <utility>

namespace {

const QString requestInterface = QStringLiteral("org.freedesktop.portal.Request");
const QString sessionInterface = QStringLiteral("org.freedesktop.portal.Session");

// The portal names request and session objects after the caller's unique bus name and a token of the
// caller's choice, so the caller can listen for the answer before it asks.
QString handlePath(const QDBusConnection& bus, const QString& kind, const QString& token) {
    QString sender = bus.baseService().mid(1);
    sender.replace(u'.', u'_');
    return PortalHotKeys::objectPath + u'/' + kind + u'/' + sender + u'/' + token;
}

bool shortcutFor(HotKey key, PortalShortcut& shortcut) {
    // The portal names trigger keys by their X keysym names.
    const auto make = [&shortcut](const char* id, const QString& description, const char* trigger) {
        shortcut = {QString::fromLatin1(id),
                    {{QStringLiteral("description"), description},
                     {QStringLiteral("preferred_trigger"), QString::fromLatin1(trigger)}}};
        return true;
    };
    switch (key) {
    case HotKey::Pause:
        return make("play-pause", QStringLiteral("Abspielen/Pause"), "Pause");
    case HotKey::PrintScreen:
        return make("softer", QStringLiteral("Leiser"), "Print");
    case HotKey::ScrollLock:
        return make("louder", QStringLiteral("Lauter"), "Scroll_Lock");
    default:
        return false;
    }
}

QString pathText(const QVariant& value) {
    return value.metaType() == QMetaType::fromType<QDBusObjectPath>() ? value.value<QDBusObjectPath>().path()
                                                                      : value.toString();
}

} // namespace

QDBusArgument& operator<<(QDBusArgument& argument, const PortalShortcut& shortcut) {
    argument.beginStructure();
    argument << shortcut.id << shortcut.properties;
    argument.endStructure();
    return argument;
}

const QDBusArgument& operator>>(const QDBusArgument& argument, PortalShortcut& shortcut) {
    argument.beginStructure();
    argument >> shortcut.id >> shortcut.properties;
    argument.endStructure();
    return argument;
}

PortalHotKeys::PortalHotKeys(const QDBusConnection& bus) : bus_(bus) {
    qDBusRegisterMetaType<PortalShortcut>();
    qDBusRegisterMetaType<PortalShortcuts>();
    if (!bus_.isConnected()) return;
    bus_.connect(serviceName, objectPath, interfaceName, QStringLiteral("Activated"), this,
                 SLOT(onActivated(QDBusMessage)));
}

PortalHotKeys::~PortalHotKeys() {
    endSession();
    if (bus_.isConnected())
        bus_.disconnect(serviceName, objectPath, interfaceName, QStringLiteral("Activated"), this,
                        SLOT(onActivated(QDBusMessage)));
}

bool PortalHotKeys::registerHotKey(int id, unsigned modifiers, HotKey key) {
    unregisterHotKey(id);
    PortalShortcut shortcut;
    if (modifiers != 0 || !shortcutFor(key, shortcut)) return false;
    for (const auto& [otherId, other] : keys_)
        if (other.id == shortcut.id) return false;
    if (!bus_.isConnected()) giveUp();
    if (unavailable_) return false;
    keys_.emplace(id, std::move(shortcut));
    scheduleBind();
    return true;
}

void PortalHotKeys::unregisterHotKey(int id) {
    if (keys_.erase(id) == 0) return;
    if (keys_.empty())
        endSession();
    else
        scheduleBind();
}

void PortalHotKeys::scheduleBind() {
    if (bindQueued_) return;
    bindQueued_ = true;
    QMetaObject::invokeMethod(this, &PortalHotKeys::bind, Qt::QueuedConnection);
}

void PortalHotKeys::bind() {
    bindQueued_ = false;
    // A session's shortcuts are bound once; a changed set takes a new session.
    endSession();
    if (keys_.empty() || unavailable_) return;
    const QString token = nextToken();
    request(Step::CreatingSession, QStringLiteral("CreateSession"), {},
            {{QStringLiteral("session_handle_token"), token}});
}

void PortalHotKeys::bindShortcuts() {
    PortalShortcuts shortcuts;
    for (const auto& [id, shortcut] : keys_)
        shortcuts << shortcut;
    // No parent window: a Wayland client has no handle of its own window to give.
    request(Step::BindingShortcuts, QStringLiteral("BindShortcuts"),
            {QVariant::fromValue(QDBusObjectPath(session_)), QVariant::fromValue(shortcuts), QString()}, {});
}

void PortalHotKeys::request(Step step, const QString& method, QVariantList arguments, QVariantMap options) {
    const QString token = nextToken();
    const QString expected = handlePath(bus_, QStringLiteral("request"), token);
    step_ = step;
    awaitResponse(expected);
    options.insert(QStringLiteral("handle_token"), token);
    QDBusMessage call = QDBusMessage::createMethodCall(serviceName, objectPath, interfaceName, method);
    call.setArguments(arguments << options);
    auto* watcher = new QDBusPendingCallWatcher(bus_.asyncCall(call), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, expected](QDBusPendingCallWatcher* w) {
        w->deleteLater();
        const QDBusPendingReply<QDBusObjectPath> reply = *w;
        // Superseded by a newer request, or answered already.
        if (awaited_ != expected) return;
        if (reply.isError()) {
            giveUp();
            return;
        }
        // Portals older than the handle_token option choose the request's path themselves.
        if (reply.value().path() != expected) awaitResponse(reply.value().path());
    });
}

void PortalHotKeys::awaitResponse(const QString& requestPath) {
    stopAwaiting();
    awaited_ = requestPath;
    bus_.connect(serviceName, awaited_, requestInterface, QStringLiteral("Response"), this,
                 SLOT(onResponse(uint, QVariantMap)));
}

void PortalHotKeys::stopAwaiting() {
    if (awaited_.isEmpty()) return;
    bus_.disconnect(serviceName, awaited_, requestInterface, QStringLiteral("Response"), this,
                    SLOT(onResponse(uint, QVariantMap)));
    awaited_.clear();
}

void PortalHotKeys::onResponse(uint response, const QVariantMap& results) {
    const Step step = std::exchange(step_, Step::None);
    stopAwaiting();
    // 1: the user declined, 2: the desktop could not do it.
    if (response != 0) {
        giveUp();
        return;
    }
    if (step == Step::CreatingSession) {
        session_ = pathText(results.value(QStringLiteral("session_handle")));
        if (session_.isEmpty())
            giveUp();
        else
            bindShortcuts();
    }
}

void PortalHotKeys::onActivated(const QDBusMessage& message) {
    // Activated(o session_handle, s shortcut_id, t timestamp, a{sv} options)
    const QList<QVariant> arguments = message.arguments();
    if (session_.isEmpty() || arguments.size() < 2 || pathText(arguments[0]) != session_) return;
    const QString shortcutId = arguments[1].toString();
    const auto key = std::find_if(keys_.begin(), keys_.end(),
                                  [&](const auto& entry) { return entry.second.id == shortcutId; });
    if (key != keys_.end()) deliver(key->first);
}

void PortalHotKeys::endSession() {
    stopAwaiting();
    step_ = Step::None;
    if (session_.isEmpty()) return;
    bus_.asyncCall(
        QDBusMessage::createMethodCall(serviceName, session_, sessionInterface, QStringLiteral("Close")));
    session_.clear();
}

void PortalHotKeys::giveUp() {
    endSession();
    if (unavailable_) return;
    unavailable_ = true;
    std::fprintf(stderr, "mp3zx: global hot keys are not available on this desktop\n");
}

QString PortalHotKeys::nextToken() {
    return QStringLiteral("mp3zx_%1").arg(++tokens_);
}
