#include "support/X11Agent.h"

#include "platform/XcbHandles.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QGuiApplication>
#include <QSocketNotifier>
#include <QTimer>
#include <cstdio>
#include <cstdlib>
#include <gtest/gtest.h>
#include <initializer_list>
#include <unistd.h>

using namespace std::chrono_literals;

namespace {

class AgentTest : public ::testing::Test {
public:
    explicit AgentTest(std::function<void()> body) : body_(std::move(body)) {}
    void TestBody() override {
        ASSERT_NE(agentConnection(), nullptr) << "the agent needs QT_QPA_PLATFORM=xcb";
        body_();
    }

private:
    std::function<void()> body_;
};

constexpr auto agentAnswerWait = 20s;

} // namespace

bool registerX11Agent(const char* variable, const char* suite, std::function<void()> body) {
    if (!std::getenv(variable)) return false;
    ::testing::RegisterTest(suite, "Run", nullptr, nullptr, __FILE__, __LINE__,
                            [body]() -> ::testing::Test* { return new AgentTest(body); });
    return true;
}

void agentReply(const QString& line) {
    std::printf("%s\n", line.toLocal8Bit().constData());
    std::fflush(stdout);
}

void runAgentCommands(const std::function<bool(const QStringList& words)>& execute) {
    QEventLoop loop;
    QByteArray pending;
    QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
    QObject::connect(&input, &QSocketNotifier::activated, [&] {
        char buffer[512];
        const ssize_t n = ::read(STDIN_FILENO, buffer, sizeof buffer);
        if (n <= 0) return loop.quit();
        pending.append(buffer, n);
        qsizetype end;
        while ((end = pending.indexOf('\n')) >= 0) {
            const QStringList words =
                QString::fromLocal8Bit(pending.left(end)).split(u' ', Qt::SkipEmptyParts);
            pending.remove(0, end + 1);
            if (!words.isEmpty() && !execute(words)) return loop.quit();
        }
    });
    QTimer::singleShot(120s, &loop, &QEventLoop::quit);
    loop.exec();
}

xcb_connection_t* agentConnection() {
    const auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    return x11 ? x11->connection() : nullptr;
}

xcb_keysym_t keysymNamed(const QString& name) {
    if (name == u"Pause") return 0xff13;
    if (name == u"Print") return 0xff61;
    if (name == u"Scroll_Lock") return 0xff14;
    return 0;
}

QString grabKey(xcb_keysym_t keysym, int onlyMask) {
    xcb_connection_t* c = agentConnection();
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
    const XcbKeySymbols symbols(xcb_key_symbols_alloc(c));
    const XcbReply<xcb_keycode_t> codes(xcb_key_symbols_get_keycode(symbols.get(), keysym));
    int held = 0, tried = 0;
    for (const xcb_keycode_t* code = codes.get(); code && *code != XCB_NO_SYMBOL; ++code) {
        for (const std::uint16_t mods : std::initializer_list<std::uint16_t>{
                 0, XCB_MOD_MASK_2, XCB_MOD_MASK_LOCK, XCB_MOD_MASK_2 | XCB_MOD_MASK_LOCK}) {
            if (onlyMask >= 0 && mods != onlyMask) continue;
            ++tried;
            const xcb_void_cookie_t cookie =
                xcb_grab_key_checked(c, 0, root, mods, *code, XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC);
            if (!XcbReply<xcb_generic_error_t>(xcb_request_check(c, cookie))) ++held;
        }
    }
    return QStringLiteral("%1/%2").arg(held).arg(tried);
}

X11AgentProcess::X11AgentProcess(const QProcessEnvironment& display, const char* variable,
                                 const char* suite) {
    QProcessEnvironment env = display;
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    env.insert(QString::fromLatin1(variable), QStringLiteral("1"));
    env.remove(QStringLiteral("GTEST_OUTPUT"));
    started_ = peer_.start(QCoreApplication::applicationFilePath(),
                           {QStringLiteral("--gtest_filter=%1.Run").arg(QLatin1String(suite))}, env) &&
               waitForLine(QStringLiteral("ready"));
}

QString X11AgentProcess::ask(const QString& command, const QString& answerPrefix) {
    peer_.process().write((command + u'\n').toLocal8Bit());
    return next(answerPrefix);
}

QString X11AgentProcess::next(const QString& prefix) {
    QString found;
    waitUntil(
        [&] {
            return take([&](const QString& l) { return l.startsWith(prefix); }, found) || !peer_.running();
        },
        agentAnswerWait);
    return found;
}

bool X11AgentProcess::waitForLine(const QString& line) {
    QString found;
    waitUntil([&] { return take([&](const QString& l) { return l == line; }, found) || !peer_.running(); },
              agentAnswerWait);
    return found == line;
}

bool X11AgentProcess::hasLine(const QString& line) {
    collect();
    return lines_.contains(line);
}

int X11AgentProcess::quit(QByteArray* errors) {
    peer_.process().write("quit\n");
    if (!peer_.process().waitForFinished(20000)) return -1;
    if (errors) *errors = peer_.process().readAllStandardError();
    return peer_.process().exitStatus() == QProcess::NormalExit ? peer_.process().exitCode() : -1;
}

void X11AgentProcess::collect() {
    while (peer_.process().canReadLine())
        lines_ << QString::fromLocal8Bit(peer_.process().readLine()).trimmed();
}

bool X11AgentProcess::take(const std::function<bool(const QString&)>& match, QString& found) {
    collect();
    for (qsizetype i = 0; i < lines_.size(); ++i) {
        if (!match(lines_[i])) continue;
        found = lines_.takeAt(i);
        return true;
    }
    return false;
}
