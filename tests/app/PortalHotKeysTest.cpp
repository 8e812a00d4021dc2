// The hot keys on a Wayland desktop: the player asks the desktop's global-shortcuts portal for its three
// keys and acts on the presses the portal reports. The portal is a fake on a private session bus that
// answers the way the desktop's portal does: a request object per call, whose Response signal carries
// the result.

#include "platform/PortalHotKeys.h"
#include "support/Fakes.h"
#include "support/SessionBus.h"
#include "support/SongFiles.h"

#include "app/Player.h"

#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusVirtualObject>
#include <gtest/gtest.h>

using namespace std::chrono_literals;

namespace {

class FakeShortcutsPortal : public QDBusVirtualObject {
public:
    explicit FakeShortcutsPortal(QDBusConnection bus) : bus_(bus) {
        qDBusRegisterMetaType<PortalShortcut>();
        qDBusRegisterMetaType<PortalShortcuts>();
        // Session objects live below the portal's object.
        registered = bus_.registerVirtualObject(PortalHotKeys::objectPath, this, QDBusConnection::SubPath) &&
                     bus_.registerService(PortalHotKeys::serviceName);
    }

    bool registered = false;
    QStringList calls;
    QString session;
    QString boundSession;
    PortalShortcuts bound;
    QString parentWindow;
    QStringList closed;

    // The user pressed a bound key.
    void activate(const QString& shortcutId) {
        QDBusMessage signal = QDBusMessage::createSignal(
            PortalHotKeys::objectPath, PortalHotKeys::interfaceName, QStringLiteral("Activated"));
        signal << QVariant::fromValue(QDBusObjectPath(session)) << shortcutId << qulonglong(1234)
               << QVariantMap();
        bus_.send(signal);
    }

    QString introspect(const QString&) const override { return {}; }

    bool handleMessage(const QDBusMessage& message, const QDBusConnection&) override {
        const QList<QVariant> args = message.arguments();
        calls << message.member();
        if (message.member() == QStringLiteral("Close")) {
            closed << message.path();
            bus_.send(message.createReply());
        } else if (message.member() == QStringLiteral("CreateSession")) {
            const QVariantMap options = variantMap(args.value(0));
            session = handle(message, QStringLiteral("session"), options.value("session_handle_token"));
            respond(message, options, {{QStringLiteral("session_handle"), session}});
        } else if (message.member() == QStringLiteral("BindShortcuts")) {
            boundSession = args.value(0).value<QDBusObjectPath>().path();
            bound = qdbus_cast<PortalShortcuts>(args.value(1));
            parentWindow = args.value(2).toString();
            respond(message, variantMap(args.value(3)), {});
        } else {
            return false;
        }
        return true;
    }

private:
    QString handle(const QDBusMessage& message, const QString& kind, const QVariant& token) const {
        return PortalHotKeys::objectPath + u'/' + kind + u'/' + message.service().mid(1).replace(u'.', u'_') +
               u'/' + token.toString();
    }

    void respond(const QDBusMessage& message, const QVariantMap& options, const QVariantMap& results) {
        const QString request = handle(message, QStringLiteral("request"), options.value("handle_token"));
        bus_.send(message.createReply(QVariant::fromValue(QDBusObjectPath(request))));
        QDBusMessage response = QDBusMessage::createSignal(
            request, QStringLiteral("org.freedesktop.portal.Request"), QStringLiteral("Response"));
        response << 0u << results;
        bus_.send(response);
    }

    QDBusConnection bus_;
};

class PortalHotKeysTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (findTool(QStringLiteral("dbus-daemon")).isEmpty())
            GTEST_SKIP() << SessionBus::missing(QStringLiteral("dbus-daemon")).toStdString();
        ASSERT_FALSE(bus.address().isEmpty()) << "dbus-daemon did not start";
    }

    SessionBus bus;
    SongFiles files;
    FakeAudioEngine engine;
    FakeMixer mixer;
    FakeDialogs dialogs;
    FakeWindow window;
};

TEST_F(PortalHotKeysTest, TheThreeKeysAreBoundTogetherAndAPressPausesTheSong) {
    FakeShortcutsPortal portal(bus.connect());
    ASSERT_TRUE(portal.registered);
    PortalHotKeys keys(bus.connect());
    Player player(Services{engine, mixer, keys, dialogs, window});
    player.hotKeyHandler.registerHotKeys();
    ASSERT_TRUE(waitUntil([&] { return !portal.bound.isEmpty(); }, 10s))
        << portal.calls.join(u' ').toStdString();

    EXPECT_EQ(portal.calls, QStringList({"CreateSession", "BindShortcuts"}));
    EXPECT_EQ(portal.boundSession, portal.session);
    EXPECT_EQ(portal.parentWindow, QString());
    std::map<QString, std::pair<QString, QString>> asked;
    for (const PortalShortcut& shortcut : std::as_const(portal.bound))
        asked[shortcut.id] = {shortcut.properties.value("description").toString(),
                              shortcut.properties.value("preferred_trigger").toString()};
    const std::map<QString, std::pair<QString, QString>> expected{
        {"play-pause", {"Abspielen/Pause", "Pause"}},
        {"softer", {"Leiser", "Print"}},
        {"louder", {"Lauter", "Scroll_Lock"}}};
    EXPECT_EQ(asked, expected);

    player.songList.addSong(files.make({"eins.mp3"})[0]);
    ASSERT_EQ(engine.state(player.channel.fileStream), ChannelState::Playing);
    portal.activate(QStringLiteral("play-pause"));
    ASSERT_TRUE(waitUntil([&] { return player.hotKeyHandler.doublePressTimer.isActive(); }, 10s));
    player.hotKeyHandler.onDoublePressTick();
    EXPECT_EQ(engine.state(player.channel.fileStream), ChannelState::Paused);
    EXPECT_EQ(player.channel.playMode, PlayMode::Idle);

    const int volume = player.volume.volumeBar.position();
    portal.activate(QStringLiteral("softer"));
    EXPECT_TRUE(waitUntil([&] { return player.volume.volumeBar.position() == volume - 2; }, 10s));

    // At the close the session ends, so the desktop frees the keys.
    player.hotKeyHandler.releaseHotKeys();
    EXPECT_TRUE(waitUntil([&] { return portal.closed == QStringList{portal.session}; }, 10s));
}

TEST_F(PortalHotKeysTest, WithoutThePortalOneLineSaysSoAndNothingElseHappens) {
    ::testing::internal::CaptureStderr();
    {
        // A session bus without the portal, then no session bus at all.
        PortalHotKeys keys(bus.connect());
        Player player(Services{engine, mixer, keys, dialogs, window});
        player.hotKeyHandler.registerHotKeys();
        EXPECT_TRUE(waitUntil([&] { return keys.unavailable(); }, 10s));
        PortalHotKeys offline(QDBusConnection(QStringLiteral("no-bus")));
        EXPECT_FALSE(offline.registerHotKey(1, 0, HotKey::Pause));
        EXPECT_FALSE(offline.registerHotKey(2, 0, HotKey::ScrollLock));
        player.hotKeyHandler.releaseHotKeys();
    }
    const QString errors = QString::fromStdString(::testing::internal::GetCapturedStderr());
    EXPECT_EQ(errors,
              QStringLiteral("mp3zx: global hot keys are not available on this desktop\n").repeated(2));
    EXPECT_TRUE(dialogs.messages.empty());
}

} // namespace
