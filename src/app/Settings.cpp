#include "app/Settings.h"

#include "app/Player.h"
#include "app/Window.h"
#include "platform/Dialogs.h"
#include "platform/FileSystem.h"
#include "platform/RuntimeError.h"
#include "platform/TextFile.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

QString Settings::path() const {
    return p_.s.programFolder + QStringLiteral("mp3.ini");
}

bool Settings::readSettingsLine() {
    line_ = next_ < lines_.size() ? lines_[next_] : QString();
    ++next_;
    return !line_.isEmpty();
}

bool Settings::numberLine(int& value) {
    if (!readSettingsLine()) return false;
    try {
        value = strToInt(line_);
        return true;
    } catch (const ConvertError& e) {
        p_.dialogs().showError(e.message());
        return false;
    }
}

void Settings::readSettings() {
    PlayerState& s = p_.s;
    try {
        lines_ = readTextLines(path());
    } catch (const InOutError&) {
        // No settings yet: an empty file now, its nine lines at the end of the run. The tree shows
        // where the user's songs most likely are, opened, rather than the bare root.
        openFolder(firstStartFolder());
        p_.browser.tree().openNode(p_.browser.tree().selectedNode());
        const int fd = ::open(pathBytes(path()).constData(), O_WRONLY | O_CREAT | O_CLOEXEC, 0666);
        if (fd < 0) throw InOutError(errno);
        ::close(fd);
        return;
    }
    next_ = 0;

    if (readSettingsLine()) s.currentFolder = line_;
    if (!s.currentFolder.isEmpty() && isFolder(s.currentFolder)) openFolder(s.currentFolder);
    if (readSettingsLine()) restoreTreeTop(line_);
    int value = 0;
    if (numberLine(value)) s.volumeBar.setPosition(value);
    if (numberLine(value)) {
        if (value == 1) s.levellingBox = true;
        if (value == 0) s.levellingBox = false;
    }
    if (numberLine(value)) s.windowLeft = value;
    if (numberLine(value)) s.windowTop = value;
    if (numberLine(value)) s.stations.setSelected(value);
    if (numberLine(value) && value == 1) s.startInRadio = true;
    if (readSettingsLine()) s.playlistFolder = line_;
    if (readSettingsLine()) p_.updateUrl = line_;
}

QString firstStartFolder() {
    const QString music = QStandardPaths::writableLocation(QStandardPaths::MusicLocation);
    if (!music.isEmpty() && QFileInfo(music).isDir()) return music;
    return QDir::homePath();
}

void Settings::openFolder(const QString& folder) {
    p_.browser.tree().setPath(folder);
    p_.browser.onFolderTreeClick();
}

void Settings::restoreTreeTop(const QString& text) {
    // Walks down from the top visible node, at most as many steps as it has children, to the node
    // with the saved text.
    FolderTree& tree = p_.browser.tree();
    QModelIndex top = tree.topNode();
    tree.waitForLoad(top, 2000);
    const int steps = tree.childCount(top);
    for (int i = 0; i < steps && tree.nodeText(top) != text; ++i) {
        const QModelIndex next = tree.nextNode(top);
        if (!next.isValid()) break;
        tree.waitForLoad(next, 2000);
        top = next;
    }
    tree.setTopNode(top);
}

void Settings::writeSettings() {
    PlayerState& s = p_.s;
    FolderTree& tree = p_.browser.tree();
    const QPoint position = p_.window().position();
    QStringList lines{
        s.currentFolder,
        tree.nodeText(tree.topNode()),
        QString::number(s.volumeBar.position()),
        s.levellingBox ? QStringLiteral("1") : QStringLiteral("0"),
        QString::number(position.x()),
        QString::number(position.y()),
        QString::number(s.stations.selected()),
        s.radioMode ? QStringLiteral("1") : QStringLiteral("0"),
        s.playlistFolder,
    };
    // Older versions read nine lines and ignore more; without an address the file stays as they wrote it.
    if (!p_.updateUrl.isEmpty()) lines << p_.updateUrl;
    writeTextLinesAtomic(path(), lines);
}
