// The hand-over channel between two starts of the program serves only the same user, in both
// directions: another user's process can neither hand a path to the running player nor pose as the
// running player to receive one. Acting as another user needs root (the test drops to "nobody" in a
// child process); without it the tests say so and skip.

#include "platform/InstanceChannel.h"
#include "support/PeerProcess.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <cstring>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace std::chrono_literals;

namespace {

constexpr uid_t nobody = 65534;

// The environment variable set for the life of the object.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const QByteArray& value)
        : name_(name), old_(qgetenv(name)), had_(qEnvironmentVariableIsSet(name)) {
        qputenv(name, value);
    }
    ~ScopedEnv() {
        if (had_)
            qputenv(name_, old_);
        else
            qunsetenv(name_);
    }

private:
    const char* name_;
    QByteArray old_;
    bool had_;
};

sockaddr_un addressOf(const QString& path) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const QByteArray name = QFile::encodeName(path);
    std::memcpy(address.sun_path, name.constData(),
                std::min<std::size_t>(name.size(), sizeof address.sun_path - 1));
    return address;
}

// Waits (bounded, the event loop running) for a child to end; its exit code, or -1.
int waitForChild(pid_t child) {
    int status = 0;
    pid_t done = 0;
    waitUntil([&] { return (done = ::waitpid(child, &status, WNOHANG)) != 0; }, 20s);
    if (done == 0) {
        ::kill(child, SIGKILL);
        ::waitpid(child, &status, 0);
        return -1;
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

#define SKIP_UNLESS_ROOT()                                                                                   \
    if (::geteuid() != 0)                                                                                    \
    GTEST_SKIP() << "*** SKIPPED: acting as another user needs root; the same-user check is not tested ***"

TEST(InstanceSecurityTest, AnotherUsersProcessCannotHandAPathOver) {
    SKIP_UNLESS_ROOT();
    QTemporaryDir runtime;
    ScopedEnv env("XDG_RUNTIME_DIR", QFile::encodeName(runtime.path()));
    InstanceChannel channel(QStringLiteral("RI3-VEZEZI"));
    QList<QByteArray> received;
    channel.setReceiver([&](const QByteArray& text) { received << text; });
    ASSERT_TRUE(channel.listen());
    // The socket file admits its owner only; here the way is opened on purpose, as a mistake or a
    // shared folder would, so that only the check of the connecting process is left.
    ::chmod(QFile::encodeName(runtime.path()).constData(), 0777);
    ::chmod(QFile::encodeName(channel.socketPath()).constData(), 0777);

    const sockaddr_un address = addressOf(channel.socketPath());
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        if (::setgid(nobody) != 0 || ::setuid(nobody) != 0) ::_exit(10);
        const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
        if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) ::_exit(11);
        const char text[] = "/etc/shadow.mp3";
        if (::write(fd, text, sizeof text) != static_cast<ssize_t>(sizeof text)) ::_exit(12);
        char answer = 0;
        // The same user would get the one-byte answer; a stranger only the end of the connection.
        ::_exit(::read(fd, &answer, 1) == 1 ? 13 : 0);
    }
    EXPECT_EQ(waitForChild(child), 0)
        << "10/11: the test could not act as nobody; 13: the stranger was answered";
    QCoreApplication::processEvents();
    EXPECT_TRUE(received.isEmpty()) << received.value(0).toStdString();

    // The owner is still served.
    InstanceChannel second(QStringLiteral("RI3-VEZEZI"));
    EXPECT_TRUE(second.findRunning());
}

TEST(InstanceSecurityTest, AServerOfAnotherUserIsNotTakenForTheRunningInstance) {
    SKIP_UNLESS_ROOT();
    QTemporaryDir runtime;
    ::chmod(QFile::encodeName(runtime.path()).constData(), 0777);
    ScopedEnv env("XDG_RUNTIME_DIR", QFile::encodeName(runtime.path()));
    InstanceChannel channel(QStringLiteral("RI3-VEZEZI"));
    const sockaddr_un address = addressOf(channel.socketPath());

    // Another user listens under the name and answers every text as the player would.
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ::close(ready[0]);
        if (::setgid(nobody) != 0 || ::setuid(nobody) != 0) ::_exit(10);
        const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
        if (::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
            ::listen(fd, 8) != 0)
            ::_exit(11);
        ::chmod(address.sun_path, 0777);
        const char up = 1;
        if (::write(ready[1], &up, 1) != 1) ::_exit(12);
        for (;;) {
            const int c = ::accept(fd, nullptr, nullptr);
            if (c < 0) continue;
            char buffer[256];
            [[maybe_unused]] const ssize_t n = ::read(c, buffer, sizeof buffer);
            [[maybe_unused]] const ssize_t w = ::write(c, "\1", 1);
            ::close(c);
        }
    }
    ::close(ready[1]);
    char up = 0;
    const bool listening = ::read(ready[0], &up, 1) == 1;
    ::close(ready[0]);
    if (listening) {
        EXPECT_FALSE(channel.findRunning());
        EXPECT_FALSE(channel.send("/home/user/privat.m3u"));
    }
    ::kill(child, SIGKILL);
    int status = 0;
    ::waitpid(child, &status, 0);
    ASSERT_TRUE(listening) << "the stranger's server did not come up";
}

// Without a runtime folder the socket lies in a folder of the user's own in the temporary folder,
// closed to everybody else.
TEST(InstanceSecurityTest, WithoutARuntimeFolderTheSocketLiesInAPrivateFolder) {
    QTemporaryDir temp;
    ScopedEnv tmp("TMPDIR", QFile::encodeName(temp.path()));
    ScopedEnv runtime("XDG_RUNTIME_DIR", QByteArray());
    InstanceChannel channel(QStringLiteral("RI3-VEZEZI"));
    const QString folder = QFileInfo(channel.socketPath()).absolutePath();
    ASSERT_TRUE(folder.startsWith(QDir(temp.path()).canonicalPath()) || folder.startsWith(temp.path()))
        << channel.socketPath().toStdString();
    struct stat st {};
    ASSERT_EQ(::lstat(QFile::encodeName(folder).constData(), &st), 0);
    EXPECT_TRUE(S_ISDIR(st.st_mode));
    EXPECT_EQ(st.st_mode & 0777, 0700u);
    EXPECT_EQ(st.st_uid, ::getuid());
    ASSERT_TRUE(channel.listen());
    InstanceChannel second(QStringLiteral("RI3-VEZEZI"));
    EXPECT_EQ(second.socketPath(), channel.socketPath());
    EXPECT_TRUE(second.findRunning());

    // A folder of that name that others can enter is not used.
    QTemporaryDir temp2;
    ScopedEnv tmp2("TMPDIR", QFile::encodeName(temp2.path()));
    const QString open = temp2.path() + QStringLiteral("/mp3zx-") + QString::number(::getuid());
    ASSERT_TRUE(QDir().mkpath(open));
    ::chmod(QFile::encodeName(open).constData(), 0777);
    InstanceChannel third(QStringLiteral("RI3-VEZEZI"));
    EXPECT_FALSE(third.socketPath().startsWith(open)) << third.socketPath().toStdString();
}

} // namespace
