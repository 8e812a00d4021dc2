#include "app/Settings.h"

#include "app/StartupState.h"
#include "library/FileBrowser.h"
#include "library/PlaylistFiles.h"
#include "platform/Dialogs.h"
#include "platform/FileSystem.h"
#include "platform/RuntimeError.h"
#include "platform/TextFile.h"
#include "platform/UniqueFd.h"
#include "platform/Window.h"
#include "playback/VolumeControl.h"
#include "radio/RadioPlayback.h"
#include "radio/StationUpdate.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

QString Settings::path() const {
    return startup_.programFolder + QStringLiteral("mp3.ini");
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
        dialogs_.showError(e.message());
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
    if (numberLine(value)) volume_.volumeBar.setPosition(value);
    if (numberLine(value)) {
        if (value == 1) volume_.levellingBox = true;
        if (value == 0) volume_.levellingBox = false;
    }
    if (numberLine(value)) startup_.windowLeft = value;
    if (numberLine(value)) startup_.windowTop = value;
    if (numberLine(value)) {
        startup_.stationRow = value;
        radio_.stations.setSelected(value);
    }
    if (numberLine(value) && value == 1) startup_.startInRadio = true;
    if (readSettingsLine()) playlists_.playlistFolder = line_;
    if (readSettingsLine()) update_.updateUrl = line_;
}

void Settings::restoreFolderTree() {
    if (firstStart_) {
        // The tree shows where the user's songs most likely are, opened, rather than the bare root.
        openFolder(firstStartFolder());
        browser_.tree().openNode(browser_.tree().selectedNode());
        return;
    }
    // Kept for writing back even when the folder is gone; the tree then stays where it is.
    if (!savedFolder_.isEmpty()) browser_.currentFolder = savedFolder_;
    if (!savedFolder_.isEmpty() && isFolder(savedFolder_)) openFolder(savedFolder_);
    if (!savedTreeTop_.isEmpty()) restoreTreeTop(savedTreeTop_);
}

QString firstStartFolder() {
    const QString music = QStandardPaths::writableLocation(QStandardPaths::MusicLocation);
    if (!music.isEmpty() && QFileInfo(music).isDir()) return music;
    return QDir::homePath();
}

void Settings::openFolder(const QString& folder) {
    browser_.tree().setPath(folder);
    browser_.onFolderTreeClick();
}

void Settings::restoreTreeTop(const QString& text) {
    // Walks down from the top visible node, at most as many steps as it has children, to the node
    // with the saved text.
    FolderTree& tree = browser_.tree();
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
    FolderTree& tree = browser_.tree();
    // Where the window cannot learn its place, the saved one goes back unchanged rather than a made-up one.
    const QPoint position =
        window_.positionKnown() ? window_.position() : QPoint(startup_.windowLeft, startup_.windowTop);
    QStringList lines{
        browser_.currentFolder,
        tree.nodeText(tree.topNode()),
        QString::number(volume_.volumeBar.position()),
        volume_.levellingBox ? QStringLiteral("1") : QStringLiteral("0"),
        QString::number(position.x()),
        QString::number(position.y()),
        QString::number(radio_.stations.selected()),
        radio_.radioMode ? QStringLiteral("1") : QStringLiteral("0"),
        playlists_.playlistFolder,
    };
    // Older versions read nine lines and ignore more; without an address the file stays as they wrote it.
    if (!update_.updateUrl.isEmpty()) lines << update_.updateUrl;
    writeTextLinesAtomic(path(), lines);
}
