// Hot keys on a real X server. The test process runs on Qt's offscreen platform, so each X client is
// a child: this test executable started again on the xcb platform as a small agent that takes commands
// on standard input and reports on standard output. Xvfb, the agents and xdotool are stopped by pid.
#include "platform/X11HotKeys.h"
#include "support/PeerProcess.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QGuiApplication>
#include <QSocketNotifier>
#include <QTimer>
#include <cstdio>
#include <cstdlib>
#include <gtest/gtest.h>
#include <unistd.h>
#include <xcb/xcb.h>
#include <xcb/xcb_keysyms.h>

using namespace std::chrono_literals;

namespace {

constexpr char agentVariable[] = "MP3ZX_HOTKEY_AGENT";
constexpr int playId = 0xC000, softerId = 0xC001, louderId = 0xC002;

// ---- the agent: one X client holding hot keys --------------------------------------------------------

void reply(const QString& line) {
    std::printf("%s\n", line.toLocal8Bit().constData());
    std::fflush(stdout);
}

xcb_keysym_t keysymNamed(const QString& name) {
    if (name == "Pause") return 0xff13;
    if (name == "Print") return 0xff61;
    if (name == "Scroll_Lock") return 0xff14;
    return 0;
}

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
            reply(QString("press %1 %2").arg(press->detail).arg(press->state));
        }
        return false;
    }

    void run() {
        QEventLoop loop;
        QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
        QObject::connect(&input, &QSocketNotifier::activated, [&] {
            char buffer[512];
            const ssize_t n = ::read(STDIN_FILENO, buffer, sizeof buffer);
            if (n <= 0) return loop.quit();
            pending_.append(buffer, n);
            qsizetype end;
            while ((end = pending_.indexOf('\n')) >= 0) {
                const QString line = QString::fromLocal8Bit(pending_.left(end)).trimmed();
                pending_.remove(0, end + 1);
                if (!execute(line.split(' ', Qt::SkipEmptyParts))) return loop.quit();
            }
        });
        QTimer::singleShot(120s, &loop, &QEventLoop::quit); // never outlive a lost test
        loop.exec();
    }

private:
    void create() {
        hotKeys_ = std::make_unique<X11HotKeys>();
        hotKeys_->setHandler([](int id) { reply(QString("key %1").arg(id)); });
    }

    bool execute(const QStringList& words) {
        if (words.isEmpty()) return true;
        const QString& command = words[0];
        if (command == "quit") return false;
        if (command == "register" && words.size() == 3 && hotKeys_) {
            const bool ok = hotKeys_->registerHotKey(words[1].toInt(), 0, HotKey(words[2].toUInt()));
            reply(QString("registered %1 %2").arg(words[1]).arg(ok));
        } else if (command == "unregister" && words.size() == 2 && hotKeys_) {
            hotKeys_->unregisterHotKey(words[1].toInt());
            reply("unregistered " + words[1]);
        } else if (command == "destroy") {
            hotKeys_.reset();
            reply("destroyed");
        } else if (command == "rawgrab" && (words.size() == 2 || words.size() == 3)) {
            reply("rawgrab " + rawGrab(keysymNamed(words[1]), words.size() == 3 ? words[2].toInt() : -1));
        } else {
            reply("unknown " + words.join(' '));
        }
        return true;
    }

    // Grabs a key as a plain X client would, for every keycode, with the given modifier mask or (-1) in
    // every lock combination; answers "held/tried".
    static QString rawGrab(xcb_keysym_t keysym, int onlyMask) {
        xcb_connection_t* c = qGuiApp->nativeInterface<QNativeInterface::QX11Application>()->connection();
        const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
        xcb_key_symbols_t* symbols = xcb_key_symbols_alloc(c);
        xcb_keycode_t* codes = xcb_key_symbols_get_keycode(symbols, keysym);
        int held = 0, tried = 0;
        for (const xcb_keycode_t* code = codes; code && *code != XCB_NO_SYMBOL; ++code) {
            for (const std::uint16_t mods : std::initializer_list<std::uint16_t>{
                     0, XCB_MOD_MASK_2, XCB_MOD_MASK_LOCK, XCB_MOD_MASK_2 | XCB_MOD_MASK_LOCK}) {
                if (onlyMask >= 0 && mods != onlyMask) continue;
                ++tried;
                xcb_generic_error_t* error =
                    xcb_request_check(c, xcb_grab_key_checked(c, 0, root, mods, *code, XCB_GRAB_MODE_ASYNC,
                                                              XCB_GRAB_MODE_ASYNC));
                if (error)
                    std::free(error);
                else
                    ++held;
            }
        }
        std::free(codes);
        xcb_key_symbols_free(symbols);
        return QString("%1/%2").arg(held).arg(tried);
    }

    std::unique_ptr<X11HotKeys> hotKeys_;
    QByteArray pending_;
};

class AgentRun : public ::testing::Test {
    void TestBody() override {
        ASSERT_NE(qGuiApp->nativeInterface<QNativeInterface::QX11Application>(), nullptr)
            << "the agent needs QT_QPA_PLATFORM=xcb";
        HotKeyAgent agent;
        reply("ready");
        agent.run();
    }
};

// The agent test exists only in a process started as an agent, so ordinary runs do not list it.
const bool agentRegistered = [] {
    if (std::getenv(agentVariable))
        ::testing::RegisterTest("X11HotKeysAgent", "Run", nullptr, nullptr, __FILE__, __LINE__,
                                []() -> ::testing::Test* { return new AgentRun; });
    return true;
}();

// ---- the test side ----------------------------------------------------------------------------------

class Agent {
public:
    explicit Agent(const QProcessEnvironment& display) {
        QProcessEnvironment env = display;
        env.insert("QT_QPA_PLATFORM", "xcb");
        env.insert(agentVariable, "1");
        env.remove("GTEST_OUTPUT");
        started_ = peer_.start(QCoreApplication::applicationFilePath(),
                               {"--gtest_filter=X11HotKeysAgent.Run"}, env) &&
                   waitForLine("ready");
    }
    ~Agent() { peer_.stop(); }

    bool started() const { return started_; }

    // Sends a command and returns the answer, the first line that starts with answerPrefix.
    QString ask(const QString& command, const QString& answerPrefix) {
        peer_.process().write((command + "\n").toLocal8Bit());
        QString answer;
        waitUntil([&] { return take([&](const QString& l) { return l.startsWith(answerPrefix); }, answer); },
                  15s);
        return answer;
    }

    bool waitForLine(const QString& line) {
        QString unused;
        return waitUntil([&] { return take([&](const QString& l) { return l == line; }, unused); }, 15s);
    }

    // The next reported key press ("press <keycode> <state>"), or an empty text.
    QString nextPress() {
        QString press;
        waitUntil([&] { return take([](const QString& l) { return l.startsWith("press "); }, press); }, 15s);
        return press;
    }

    bool hasLine(const QString& line) {
        collect();
        return lines_.contains(line);
    }

    // Ends the agent through its own command; its exit code tells whether it stayed sound (no crash,
    // no sanitizer report, and nothing on standard error from the X connection).
    int quit(QByteArray* errors = nullptr) {
        peer_.process().write("quit\n");
        if (!peer_.process().waitForFinished(20000)) return -1;
        if (errors) *errors = peer_.process().readAllStandardError();
        return peer_.process().exitStatus() == QProcess::NormalExit ? peer_.process().exitCode() : -1;
    }

private:
    void collect() {
        while (peer_.process().canReadLine())
            lines_ << QString::fromLocal8Bit(peer_.process().readLine()).trimmed();
    }
    template <typename Match> bool take(Match match, QString& found) {
        collect();
        for (qsizetype i = 0; i < lines_.size(); ++i) {
            if (!match(lines_[i])) continue;
            found = lines_.takeAt(i);
            return true;
        }
        return false;
    }

    PeerProcess peer_;
    QStringList lines_;
    bool started_ = false;
};

class X11HotKeysXvfb : public ::testing::Test {
protected:
    void SetUp() override {
        const QString xvfb = findTool("Xvfb");
        xdotool_ = findTool("xdotool");
        if (xvfb.isEmpty() || xdotool_.isEmpty())
            GTEST_SKIP() << "*** SKIPPED: Xvfb / xdotool not installed (packages xvfb, xdotool) ***";
        x_ = std::make_unique<XServer>(QStringLiteral("640x480x24"));
        ASSERT_TRUE(x_->available()) << "Xvfb did not start";
        env_ = x_->environment();
    }
    void TearDown() override { x_.reset(); }

    void key(const QString& name) {
        ASSERT_EQ(runTool(xdotool_, {"key", name}, env_).exitCode, 0) << "xdotool key " << name.toStdString();
    }

    static QString reg(int id, HotKey key) { return QString("register %1 %2").arg(id).arg(unsigned(key)); }
    static QString registered(int id, bool ok) { return QString("registered %1 %2").arg(id).arg(ok); }
    static QString delivered(int id) { return QString("key %1").arg(id); }

    QString xdotool_;
    QProcessEnvironment env_;
    std::unique_ptr<XServer> x_;
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
