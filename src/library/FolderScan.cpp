#include "library/FolderScan.h"

#include "library/MaskSearch.h"
#include "platform/ByteText.h"
#include "platform/FileSystem.h"

#include <QLocale>
#include <QMimeDatabase>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

namespace {

struct DirCloser {
    void operator()(DIR* d) const { ::closedir(d); }
};

QString attributeLetters(bool folder, bool readOnly, bool hidden) {
    QString s;
    if (folder) s += u'D';
    if (readOnly) s += u'R';
    if (hidden) s += u'H';
    return s;
}

// What one accepted name carries into its entry.
struct FoundName {
    QString name;
    QString upperName;
    struct statx st;
    bool folderEntry;
    bool readOnly;
    bool hidden;
};

class FolderScanner {
public:
    FolderScanner(const FolderScanRequest& request, const std::atomic<bool>& cancelled)
        : r_(request), cancelled_(cancelled), locale_(QLocale::system()) {}

    QList<FileListEntry> run() {
        for (const QString& folder : r_.folders) {
            if (cancelled_) break;
            scanFolder(folder);
        }
        return std::move(found_);
    }

private:
    void scanFolder(const QString& folder) {
        std::unique_ptr<DIR, DirCloser> dir(::opendir(pathBytes(folder).constData()));
        if (!dir) return;
        const int fd = ::dirfd(dir.get());
        while (!cancelled_) {
            const dirent* de = ::readdir(dir.get());
            if (!de) return;
            if (r_.scanHook) r_.scanHook(++namesRead_);
            FoundName f;
            if (accept(fd, de, f)) found_.append(makeEntry(f, folder));
        }
    }

    bool accept(int fd, const dirent* de, FoundName& f) const {
        const char* rawName = de->d_name;
        if (std::strcmp(rawName, ".") == 0) return false;
        const bool parentDir = std::strcmp(rawName, "..") == 0;
        f.hidden = rawName[0] == '.' && !parentDir;
        if (f.hidden && !r_.hiddenAllowed) return false;

        f.st = {};
        bool statted = false;
        f.folderEntry = de->d_type == DT_DIR;
        if (de->d_type != DT_DIR && de->d_type != DT_REG) {
            // A link or an unknown type: what it leads to decides. A dangling link is no file that
            // could be played.
            if (::statx(fd, rawName, 0, STATX_BASIC_STATS | STATX_BTIME, &f.st) != 0) return false;
            statted = true;
            if (S_ISDIR(f.st.stx_mode))
                f.folderEntry = true;
            else if (!S_ISREG(f.st.stx_mode))
                return false; // devices, pipes and sockets are no files to play
        }

        f.name = bytesToText(QByteArray(rawName));
        f.upperName = locale_.toUpper(f.name);
        if (f.folderEntry) {
            if (!r_.displayDirectory || (parentDir && !r_.displayParentDir)) return false;
        } else if (!matchesMaskList(f.upperName, r_.masks, true, false)) {
            return false;
        }

        // A file deleted since the folder was read fails here and is not listed.
        if (!statted && ::statx(fd, rawName, 0, STATX_BASIC_STATS | STATX_BTIME, &f.st) != 0) return false;
        f.readOnly = r_.needWritable && ::faccessat(fd, rawName, W_OK, AT_EACCESS) != 0;
        return !(f.readOnly && !r_.readOnlyAllowed);
    }

    FileListEntry makeEntry(const FoundName& f, const QString& folder) const {
        FileListEntry e;
        e.caption = f.name;
        e.folder = folder;
        e.upperCaption = f.upperName;
        e.subItems.reserve(1 + r_.extraFields.size());
        e.subItems.append(
            f.folderEntry ? QString() : QStringLiteral("%1").arg(static_cast<qulonglong>(f.st.stx_size), 10));
        for (FileField field : r_.extraFields)
            e.subItems.append(columnText(field, f, folder));
        return e;
    }

    QString columnText(FileField field, const FoundName& f, const QString& folder) const {
        switch (field) {
        case TypeColumn:
            return f.folderEntry ? mimeDb_.mimeTypeForName(QStringLiteral("inode/directory")).comment()
                                 : mimeDb_.mimeTypeForFile(f.name, QMimeDatabase::MatchExtension).comment();
        case ModifiedColumn:
            return fileDateText(f.st.stx_mtime.tv_sec);
        case CreatedColumn:
            // Not every file system keeps a birth time; the last change is the next best.
            return fileDateText((f.st.stx_mask & STATX_BTIME) ? f.st.stx_btime.tv_sec
                                                              : f.st.stx_mtime.tv_sec);
        case LastAccessColumn:
            return fileDateText(f.st.stx_atime.tv_sec);
        case AttributesColumn:
            return attributeLetters(f.folderEntry, f.readOnly, f.hidden);
        case DosNameColumn:
            return f.name;
        case DosExtColumn: {
            const qsizetype dot = f.name.lastIndexOf(u'.');
            return dot > 0 ? f.name.mid(dot) : QString();
        }
        case PathColumn:
            return folder;
        default:
            return QString();
        }
    }

    const FolderScanRequest& r_;
    const std::atomic<bool>& cancelled_;
    const QLocale locale_;
    QMimeDatabase mimeDb_;
    QList<FileListEntry> found_;
    int namesRead_ = 0;
};

} // namespace

QList<FileListEntry> scanFolders(const FolderScanRequest& request, const std::atomic<bool>& cancelled) {
    QList<FileListEntry> found = FolderScanner(request, cancelled).run();
    if (cancelled || found.isEmpty()) return found;
    QList<FileListEntry> sorted;
    sorted.reserve(found.size());
    for (int i : fileEntryOrder(found, request.order))
        sorted.append(std::move(found[i]));
    return sorted;
}
