#include "app/PlaylistArgumentReader.h"

#include "library/SongListEditor.h"
#include "platform/TextFile.h"
#include "platform/Window.h"
#include "radio/RadioPlayback.h"
#include "radio/StationEditor.h"
#include "radio/StationUpdate.h"

#include <QDir>
#include <QFileInfo>

QString valueAfterEquals(const QString& line) {
    const qsizetype equals = line.indexOf(u'=');
    return equals < 0 ? line : line.mid(equals + 1);
}

QString playlistBaseName(const QString& path) {
    const QString name = QFileInfo(path).fileName();
    if (name.startsWith(u'.')) return leftChars(name, 10);
    return name.left(name.indexOf(u'.'));
}

namespace {

// A PLS line's key, the text before its first "=" (the whole line without one), upper-cased. File and
// title lines are told apart by their keys alone, so a title or URL that holds "file" or "title" is
// still only a title or a URL.
QString plsKey(const QString& line) {
    const qsizetype equals = line.indexOf(u'=');
    return (equals < 0 ? line : line.left(equals)).toUpper();
}

bool startsWithUrlScheme(const QString& line) {
    return line.startsWith(QStringLiteral("http://"), Qt::CaseInsensitive) ||
           line.startsWith(QStringLiteral("https://"), Qt::CaseInsensitive);
}

} // namespace

void PlaylistArgumentReader::entryAdded(bool& first) {
    if (!first) return;
    first = false;
    update_.playSelectedEntry();
    if (!radio_.radioMode) radio_.switchMode(false);
}

void PlaylistArgumentReader::read(const QString& path, PlaylistKind kind) {
    editor_.entryPanelVisible = true;
    const QStringList lines = readTextLines(path);
    update_.entries.clear();
    const QString base = playlistBaseName(path);
    const QDir listFolder = QFileInfo(path).absoluteDir();
    int counter = -1;
    QString suffix;
    bool first = true;
    for (const QString& line : lines) {
        const QString upper = line.toUpper();
        if (kind == PlaylistKind::Pls) {
            const QString key = plsKey(line);
            if (key.contains(QStringLiteral("FILE"))) {
                update_.entries.append({line, valueAfterEquals(line)});
                ++counter;
                if (first) update_.entries.setSelected(0);
                entryAdded(first);
            }
            if (key.contains(QStringLiteral("TITLE")) && update_.entries.isRow(counter))
                update_.entries.setTitle(counter, valueAfterEquals(line));
        } else if (line.startsWith(u'#')) {
            // #EXTM3U and #EXTINF lines are comments, whatever their text holds.
        } else if (upper.contains(QStringLiteral("HTTP"))) {
            // A URL whose query holds "=" stays whole.
            const QString url = startsWithUrlScheme(line) ? line : valueAfterEquals(line);
            update_.entries.append({base + suffix, url});
            ++counter;
            suffix = u'_' + QString::number(counter);
            update_.entries.setSelected(0);
            entryAdded(first);
        } else if (upper.contains(QStringLiteral(".MP3")) && !line.contains(QChar(0))) {
            // A relative path names a file beside the playlist. A name with a zero byte names no file:
            // the system would read it only up to that byte.
            const QString song =
                QFileInfo(line).isRelative() ? QDir::cleanPath(listFolder.filePath(line)) : line;
            songList_.addSong(song);
        }
        update_.entries.setSelected(0);
    }
    window_.raiseAndActivate();
}
