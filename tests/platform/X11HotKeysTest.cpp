// Hot keys on a real X server. The test process runs on Qt's offscreen platform, so each X client is
// a child: this test executable started again on the xcb platform as a small agent that takes commands
// on standard input and reports on standard output. Xvfb, the agents and xdotool are stopped by pid.
#include "platform/X11HotKeys.h"
#include "support/X11Agent.h"
#include "support/XdoTool.h"

#include <QGuiApplication>
#include <gtest/gtest.h>

using namespace std::chrono_literals;

namespace {

constexpr char agentVariable[] = "MP3ZX_HOTKEY_AGENT";
constexpr char agentSuite[] = "X11HotKeysAgent";
constexpr int playId = 0xC000, softerId = 0xC001, louderId = 0xC002;

// ---- the agent: one X client holding hot keys --------------------------------------------------------

class HotKeyAgent : public QAbstractNativeEventFilter {
public:
    HotKeyAgent() {
        create();
        qApp->installNativeEventFilter(this);
    }
    ~HotKeyAgent() override { qApp->removeNativeEventFilter(this); }

    // Reports every key press on the root window with its modifier state, whoever's grab it is for.
    bool nativeEventFilter(const QByteArray& type, void* message, qintptr*) override {
        const auto* event = static_cast<const xcb_generic_event_t*>(message);
        if (type == "xcb_generic_event_t" && (event->response_type & 0x7f) == XCB_KEY_PRESS) {
            const auto* press = reinterpret_cast<const xcb_key_press_event_t*>(event);
            agentReply(QString("press %1 %2").arg(press->detail).arg(press->state));
        }
        return false;
    }

    bool execute(const QStringList& words) {
        const QString& command = words[0];
        if (command == "quit") return false;
        if (command == "register" && words.size() == 3 && hotKeys_) {
            const bool ok = hotKeys_->registerHotKey(words[1].toInt(), 0, HotKey(words[2].toUInt()));
            agentReply(QString("registered %1 %2").arg(words[1]).arg(ok));
        } else if (command == "unregister" && words.size() == 2 && hotKeys_) {
            hotKeys_->unregisterHotKey(words[1].toInt());
            agentReply("unregistered " + words[1]);
        } else if (command == "destroy") {
            hotKeys_.reset();
            agentReply("destroyed");
        } else if (command == "rawgrab" && (words.size() == 2 || words.size() == 3)) {
            agentReply("rawgrab " +
                       grabKey(keysymNamed(words[1]), words.size() == 3 ? words[2].toInt() : -1));
        } else {
            agentReply("unknown " + words.join(' '));
        }
        return true;
    }

private:
    void create() {
        hotKeys_ = std::make_unique<X11HotKeys>();
        hotKeys_->setHandler([](int id) { agentReply(QString("key %1").arg(id)); });
    }

    std::unique_ptr<X11HotKeys> hotKeys_;
};

const bool agentRegistered = registerX11Agent(agentVariable, agentSuite, [] {
    HotKeyAgent agent;
    agentReply("ready");
    runAgentCommands([&](const QStringList& words) { return agent.execute(words); });
});

// ---- the test side ----------------------------------------------------------------------------------

class Agent : public X11AgentProcess {
public:
    explicit Agent(const QProcessEnvironment& display)
        : X11AgentProcess(display, agentVariable, agentSuite) {}
    // The next reported key press ("press <keycode> <state>"), or an empty text.
    QString nextPress() { return next("press "); }
};

class X11HotKeysXvfb : public ::testing::Test {
protected:
    void SetUp() override {
        if (findTool("Xvfb").isEmpty() || findTool("xdotool").isEmpty())
            GTEST_SKIP() << "*** SKIPPED: Xvfb / xdotool not installed (packages xvfb, xdotool) ***";
        x_ = std::make_unique<XServer>(QStringLiteral("640x480x24"));
        ASSERT_TRUE(x_->available()) << "Xvfb did not start";
        env_ = x_->environment();
        xdotool_ = std::make_unique<XdoTool>(env_);
    }
    void TearDown() override { x_.reset(); }

    void key(const QString& name) {
        ASSERT_TRUE(xdotool_->key(name)) << "xdotool key " << name.toStdString();
    }

    static QString reg(int id, HotKey key) { return QString("register %1 %2").arg(id).arg(unsigned(key)); }
    static QString registered(int id, bool ok) { return QString("registered %1 %2").arg(id).arg(ok); }
    static QString delivered(int id) { return QString("key %1").arg(id); }

    QProcessEnvironment env_;
    std::unique_ptr<XServer> x_;
    std::unique_ptr<XdoTool> xdotool_;
};

} // namespace

TEST_F(X11HotKeysXvfb, EachKeyDeliversItsIdentifierWithAndWithoutLockKeys) {
    Agent agent(env_);
    ASSERT_TRUE(agent.started());
    EXPECT_EQ(agent.ask(reg(playId, HotKey::Pause), "registered"), registered(playId, true));
    EXPECT_EQ(agent.ask(reg(softerId, HotKey::PrintScreen), "registered"), registered(softerId, true));
    EXPECT_EQ(agent.ask(reg(louderId, HotKey::ScrollLock), "registered"), registered(louderId, true));
    // The same key under a second identifier, and a key the player never uses, are refused.
    EXPECT_EQ(agent.ask(reg(7, HotKey::Pause), "registered"), registered(7, false));
    EXPECT_EQ(agent.ask(reg(8, HotKey(65)), "registered"), registered(8, false));

    key("Pause");
    EXPECT_TRUE(agent.waitForLine(delivered(playId)));
    key("Scroll_Lock");
    EXPECT_TRUE(agent.waitForLine(delivered(louderId)));
    key("Print");
    EXPECT_TRUE(agent.waitForLine(delivered(softerId)));
    key("218"); // Print's second keycode on the usual keymaps (with Alt: Sys_Req)
    EXPECT_TRUE(agent.waitForLine(delivered(softerId)));
    EXPECT_FALSE(agent.hasLine(delivered(7)));

    // With NumLock on, and then CapsLock too, the keys still arrive; the reported state proves the locks.
    key("Num_Lock");
    key("Pause");
    EXPECT_TRUE(agent.waitForLine(delivered(playId)));
    key("Caps_Lock");
    key("Scroll_Lock");
    EXPECT_TRUE(agent.waitForLine(delivered(louderId)));
    key("Num_Lock");
    key("Print");
    EXPECT_TRUE(agent.waitForLine(delivered(softerId)));
    // Root-window presses as the server reported them: keycode and modifier state (Mod2 16, Lock 2).
    QStringList presses;
    for (int i = 0; i < 7; ++i)
        presses << agent.nextPress();
    EXPECT_EQ(presses, QStringList({"press 127 0", "press 78 0", "press 107 0", "press 218 0", "press 127 16",
                                    "press 78 18", "press 107 2"}));

    QByteArray errors;
    EXPECT_EQ(agent.quit(&errors), 0);
    EXPECT_FALSE(errors.contains("XCB error")) << errors.toStdString();
}

TEST_F(X11HotKeysXvfb, KeyHeldByAnotherClientIsRefusedQuietly) {
    Agent other(env_), player(env_);
    ASSERT_TRUE(other.started() && player.started());
    EXPECT_EQ(other.ask(reg(1, HotKey::Pause), "registered"), registered(1, true));

    EXPECT_EQ(player.ask(reg(playId, HotKey::Pause), "registered"), registered(playId, false));
    EXPECT_EQ(player.ask(reg(louderId, HotKey::ScrollLock), "registered"), registered(louderId, true));
    key("Pause");
    EXPECT_TRUE(other.waitForLine(delivered(1)));
    key("Scroll_Lock");
    EXPECT_TRUE(player.waitForLine(delivered(louderId)));
    EXPECT_FALSE(player.hasLine(delivered(playId)));

    QByteArray errors;
    EXPECT_EQ(player.quit(&errors), 0);
    EXPECT_FALSE(errors.contains("XCB error")) << "a refused grab must not reach Qt's error log:\n"
                                               << errors.toStdString();
    EXPECT_EQ(other.quit(), 0);
}

TEST_F(X11HotKeysXvfb, PartlyHeldKeyStillArrivesInTheFreeCombinations) {
    Agent other(env_), player(env_);
    ASSERT_TRUE(other.started() && player.started());
    // The other client holds plain Pause only, the first of the four combinations tried.
    EXPECT_EQ(other.ask("rawgrab Pause 0", "rawgrab"), "rawgrab 1/1");
    EXPECT_EQ(player.ask(reg(playId, HotKey::Pause), "registered"), registered(playId, true));

    key("Pause");
    EXPECT_EQ(other.nextPress(), "press 127 0");
    key("Num_Lock");
    key("Pause");
    EXPECT_TRUE(player.waitForLine(delivered(playId)));
    key("Caps_Lock");
    key("Pause");
    EXPECT_TRUE(player.waitForLine(delivered(playId)));
    key("Num_Lock");
    key("Pause");
    EXPECT_TRUE(player.waitForLine(delivered(playId)));
    EXPECT_FALSE(other.hasLine("press 127 16") || other.hasLine("press 127 18") ||
                 other.hasLine("press 127 2"));

    EXPECT_EQ(player.quit(), 0);
    EXPECT_EQ(other.quit(), 0);
}

TEST_F(X11HotKeysXvfb, UnregisteredAndDestroyedKeysAreFreeForOtherClients) {
    Agent player(env_), other(env_);
    ASSERT_TRUE(player.started() && other.started());
    EXPECT_EQ(player.ask(reg(playId, HotKey::Pause), "registered"), registered(playId, true));
    EXPECT_EQ(player.ask(reg(softerId, HotKey::PrintScreen), "registered"), registered(softerId, true));
    EXPECT_EQ(player.ask(reg(louderId, HotKey::ScrollLock), "registered"), registered(louderId, true));
    // Every keycode in every lock combination is taken: Print has two keycodes here.
    EXPECT_EQ(other.ask("rawgrab Pause", "rawgrab"), "rawgrab 0/4");
    EXPECT_EQ(other.ask("rawgrab Print", "rawgrab"), "rawgrab 0/8");
    EXPECT_EQ(other.ask("rawgrab Scroll_Lock", "rawgrab"), "rawgrab 0/4");

    EXPECT_EQ(player.ask(QString("unregister %1").arg(softerId), "unregistered"),
              QString("unregistered %1").arg(softerId));
    EXPECT_EQ(other.ask("rawgrab Print", "rawgrab"), "rawgrab 8/8");
    EXPECT_EQ(other.ask("rawgrab Pause", "rawgrab"), "rawgrab 0/4");

    // Destroying the source releases the rest while the player's connection stays open.
    EXPECT_EQ(player.ask("destroy", "destroyed"), "destroyed");
    EXPECT_EQ(other.ask("rawgrab Pause", "rawgrab"), "rawgrab 4/4");
    EXPECT_EQ(other.ask("rawgrab Scroll_Lock", "rawgrab"), "rawgrab 4/4");

    EXPECT_EQ(player.quit(), 0);
    EXPECT_EQ(other.quit(), 0);
}

// Tests run on the offscreen platform: no X11 connection, so nothing can be grabbed, and nothing fails
// loudly.
TEST(X11HotKeys, WithoutX11EveryRegistrationFailsQuietly) {
    X11HotKeys hotKeys;
    EXPECT_FALSE(hotKeys.available());
    EXPECT_FALSE(hotKeys.registerHotKey(playId, 0, HotKey::Pause));
    EXPECT_FALSE(hotKeys.registerHotKey(softerId, 0, HotKey::PrintScreen));
    hotKeys.unregisterHotKey(playId);
    hotKeys.unregisterHotKey(12345);
}
