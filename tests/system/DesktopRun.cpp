#include "DesktopRun.h"

#include "support/Mp3Fixtures.h"

#include <QColor>
#include <QFile>
#include <cstdio>

using namespace std::chrono_literals;

namespace {

constexpr int frameWidth = 2;
const QString windowTitle = QStringLiteral("RI3-VEZEZI");

bool writeLines(const QString& path, const QStringList& lines) {
    QByteArray bytes;
    for (const QString& line : lines)
        bytes += line.toUtf8() + "\r\n";
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

} // namespace

DesktopRun::DesktopRun(const QString& runtimeDir) {
    // A server that came up is not always one a client can reach (a display number another session
    // holds in the shared abstract socket namespace); ask it something before the program goes there.
    for (int attempt = 0; attempt < 3; ++attempt) {
        x_ = std::make_unique<XServer>();
        xdotool_ = std::make_unique<XdoTool>(x_->environment());
        if (!x_->available() || !xdotool_->available() || xdotool({"getmouselocation"}).exitCode == 0) break;
    }
    run_ = std::make_unique<ProgramRun>(runtimeDir, x_.get());
    state_ = std::make_unique<ProgramState>(*run_);
}

QString DesktopRun::missing() const {
    QStringList gone;
    if (!x_->available()) gone << QStringLiteral("Xvfb");
    if (!xdotool_->available()) gone << QStringLiteral("xdotool");
    if (!fixtures::haveLame()) gone << QStringLiteral("lame");
    if (findTool(QStringLiteral("import")).isEmpty()) gone << QStringLiteral("import (imagemagick)");
    if (!run_->ready())
        return QStringLiteral("\n*** the program could not be copied into a folder of its own ***\n");
    if (gone.isEmpty()) return QString();
    return QStringLiteral("\n*** SKIPPED: ") + gone.join(QStringLiteral(", ")) +
           QStringLiteral(
               " not installed (scripts/install-deps.sh installs it); the user journey did not run ***\n");
}

bool DesktopRun::writeIni(const QStringList& lines) {
    return writeLines(run_->iniPath(), lines);
}

bool DesktopRun::writeStations(const QList<std::pair<QString, QString>>& nameAndUrl) {
    QStringList lines;
    for (const auto& [name, url] : nameAndUrl)
        lines << name << url;
    return writeLines(run_->folder() + QStringLiteral("mp3.snd"), lines);
}

void DesktopRun::recordSoundTo(const QString& rawFile) {
    run_->environment().insert(QStringLiteral("SDL_AUDIODRIVER"), QStringLiteral("disk"));
    run_->environment().insert(QStringLiteral("SDL_DISKAUDIOFILE"), rawFile);
}

ToolResult DesktopRun::xdotool(const QStringList& args) const {
    return xdotool_->run(args);
}

bool DesktopRun::launch(const QStringList& arguments) {
    if (!run_->start(arguments)) return false;
    // Should the program's first connection still be refused ("could not connect to display") while
    // the server answers other clients, as seen on a loaded machine before the servers ran with
    // -noreset, it is started once more, loudly.
    if (run_->process().waitForFinished(1500) && run_->process().exitCode() != 0 &&
        xdotool({"getmouselocation"}).exitCode == 0) {
        std::fprintf(stderr, "*** the program could not open the X display %s; starting it once more ***\n",
                     qPrintable(x_->display()));
        if (!run_->start(arguments)) return false;
    }
    return true;
}

bool DesktopRun::findWindow() {
    // Without a window manager the window lands exactly where the program put it; ask X where that is.
    QByteArray shell;
    const bool shown = waitUntil(
        [&] {
            if (!run_->running()) return true;
            const ToolResult found = xdotool({"search", "--onlyvisible", "--name", "^" + windowTitle + "$"});
            if (found.exitCode != 0) return false;
            const QByteArray id = found.out.split('\n').constFirst().trimmed();
            const ToolResult geometry = xdotool({"getwindowgeometry", "--shell", QString::fromLatin1(id)});
            shell = geometry.out;
            return geometry.exitCode == 0;
        },
        30s);
    if (!shown || !run_->running()) return false;
    for (const QByteArray& line : shell.split('\n')) {
        if (line.startsWith("X=")) window_.setX(line.mid(2).toInt());
        if (line.startsWith("Y=")) window_.setY(line.mid(2).toInt());
    }
    // The state probe writes its first lines once the start-up has run.
    return state_->waitFor([](const ProbeState& st) { return !st.lines.isEmpty(); });
}

bool DesktopRun::restart(const QStringList& arguments) {
    // A state file left by the last run would answer for the new one.
    QFile::remove(run_->folder() + QStringLiteral("state.txt"));
    return start(arguments);
}

bool DesktopRun::windowShown() const {
    return xdotool_->hasWindow("^" + windowTitle + "$");
}

int DesktopRun::visibleWindows() const {
    const ToolResult found = xdotool({"search", "--onlyvisible", "--class", "mp3zx"});
    if (found.exitCode != 0) return 0;
    return int(found.out.trimmed().split('\n').size());
}

bool DesktopRun::closeWithX() {
    return click(exitButton) && run_->process().waitForFinished(20000);
}

bool DesktopRun::click(QPoint client, int button) {
    const QPoint at = window_ + QPoint(frameWidth, frameWidth) + client;
    // Pointer motion and button go through XTEST in this order; no "--sync", which waits forever when
    // the pointer already is where it is sent.
    return xdotool_->click(at, button);
}

bool DesktopRun::key(const QStringList& keys) {
    return xdotool(QStringList{"key", "--delay", "50"} + keys).exitCode == 0;
}

bool DesktopRun::type(const QString& text) {
    return xdotool({"type", "--delay", "20", text}).exitCode == 0;
}

bool DesktopRun::waitForWindowNamed(const QString& title, std::chrono::milliseconds timeout) {
    return waitUntil([&] { return xdotool_->hasWindow("^" + title) || !run_->running(); }, timeout) &&
           run_->running();
}

QImage DesktopRun::screenshot() const {
    const QString tool = findTool(QStringLiteral("import"));
    if (tool.isEmpty()) return QImage();
    const ToolResult shot = runTool(tool, {"-window", "root", "png:-"}, x_->environment(), 20s);
    if (shot.exitCode != 0) return QImage();
    return QImage::fromData(shot.out, "PNG");
}

QRect DesktopRun::highlightedRows(QRect area) const {
    const QImage screen = screenshot();
    if (screen.isNull()) return QRect();
    const QPoint origin = window_ + QPoint(frameWidth, frameWidth);
    const QRect onScreen = area.translated(origin);
    int top = -1;
    int bottom = -1;
    for (int y = onScreen.top(); y <= onScreen.bottom(); ++y) {
        int highlighted = 0;
        for (int x = onScreen.left(); x <= onScreen.right(); ++x) {
            const QColor c = screen.pixelColor(x, y);
            if (c.blue() > 150 && c.red() < 110 && c.blue() - c.red() > 80) ++highlighted;
        }
        if (highlighted <= onScreen.width() / 2) continue;
        if (top < 0) top = y;
        bottom = y;
    }
    if (top < 0) return QRect();
    return QRect(area.left(), top, area.width(), bottom - top + 1).translated(0, -origin.y());
}

QPoint DesktopRun::selectedTreeRow() const {
    const QRect rows = highlightedRows(folderTree);
    return rows.isNull() ? QPoint() : QPoint(folderTree.left() + 80, rows.center().y());
}

QStringList iniLines(const ProgramRun& run) {
    QStringList lines;
    for (QByteArray line : run.iniBytes().split('\n')) {
        if (line.endsWith('\r')) line.chop(1);
        lines << QString::fromUtf8(line);
    }
    if (!lines.isEmpty() && lines.constLast().isEmpty()) lines.removeLast();
    return lines;
}
