#include "app/Settings.h"

#include "app/Player.h"
#include "platform/Dialogs.h"
#include "platform/FileSystem.h"
#include "platform/RuntimeError.h"
#include "platform/TextFile.h"
#include "platform/UniqueFd.h"
#include "platform/Window.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

QString Settings::path() const {
    return p_.startup.programFolder + QStringLiteral("mp3.ini");
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
    savedFolder_.clear();
    savedTreeTop_.clear();
    try {
        lines_ = readTextLines(path());
    } catch (const InOutError&) {
        // No settings yet: an empty file now, its nine lines at the end of the run.
        firstStart_ = true;
        if (!UniqueFd(::open(pathBytes(path()).constData(), O_WRONLY | O_CREAT | O_CLOEXEC, 0666)))
            throw InOutError(errno);
        return;
    }
    firstStart_ = false;
    next_ = 0;

    if (readSettingsLine()) savedFolder_ = line_;
    if (readSettingsLine()) savedTreeTop_ = line_;
    int value = 0;
    if (numberLine(value)) p_.volume.volumeBar.setPosition(value);
    if (numberLine(value)) {
        if (value == 1) p_.volume.levellingBox = true;
        if (value == 0) p_.volume.levellingBox = false;
    }
    if (numberLine(value)) p_.startup.windowLeft = value;
    if (numberLine(value)) p_.startup.windowTop = value;
    if (numberLine(value)) {
        p_.startup.stationRow = value;
        p_.radio.stations.setSelected(value);
    }
    if (numberLine(value) && value == 1) p_.startup.startInRadio = true;
    if (readSettingsLine()) p_.playlists.playlistFolder = line_;
    if (readSettingsLine()) p_.update.updateUrl = line_;
}

void Settings::restoreFolderTree() {
    if (firstStart_) {
        // The tree shows where the user's songs most likely are, opened, rather than the bare root.
        openFolder(firstStartFolder());
        p_.browser.tree().openNode(p_.browser.tree().selectedNode());
        return;
    }
    // Kept for writing back even when the folder is gone; the tree then stays where it is.
    if (!savedFolder_.isEmpty()) p_.browser.currentFolder = savedFolder_;
    if (!savedFolder_.isEmpty() && isFolder(savedFolder_)) openFolder(savedFolder_);
    if (!savedTreeTop_.isEmpty()) restoreTreeTop(savedTreeTop_);
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
    FolderTree& tree = p_.browser.tree();
    // Where the window cannot learn its place, the saved one goes back unchanged rather than a made-up one.
    const IWindow& window = p_.window();
    const QPoint position =
        window.positionKnown() ? window.position() : QPoint(p_.startup.windowLeft, p_.startup.windowTop);
    QStringList lines{
        p_.browser.currentFolder,
        tree.nodeText(tree.topNode()),
        QString::number(p_.volume.volumeBar.position()),
        p_.volume.levellingBox ? QStringLiteral("1") : QStringLiteral("0"),
        QString::number(position.x()),
        QString::number(position.y()),
        QString::number(p_.radio.stations.selected()),
        p_.radio.radioMode ? QStringLiteral("1") : QStringLiteral("0"),
        p_.playlists.playlistFolder,
    };
    // Older versions read nine lines and ignore more; without an address the file stays as they wrote it.
    if (!p_.update.updateUrl.isEmpty()) lines << p_.update.updateUrl;
    writeTextLinesAtomic(path(), lines);
}
