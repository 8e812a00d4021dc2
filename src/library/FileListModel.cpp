#include "library/FileListModel.h"

#include "library/MaskSearch.h"
#include "platform/ByteText.h"
#include "platform/EventLoop.h"
#include "platform/FileSystem.h"

#include <QElapsedTimer>
#include <QLocale>
#include <QMimeDatabase>
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <numeric>
#include <sys/stat.h>
#include <unistd.h>

bool FileListModel::reverseOrder_ = false;

namespace {

struct ColumnTemplate {
    const char* caption;
    int width;
    Qt::Alignment alignment;
};

const std::array<ColumnTemplate, fiAll> columnTable{{
    {"Name", 190, Qt::AlignLeft},
    {"Size", 60, Qt::AlignRight},
    {"Type", 130, Qt::AlignLeft},
    {"Datum", 70, Qt::AlignLeft},
    {"Created", 100, Qt::AlignLeft},
    {"Last Access", 85, Qt::AlignLeft},
    {"Attributes", 60, Qt::AlignLeft},
    {"Dos Name", 130, Qt::AlignLeft},
    {"Dos Ext", 60, Qt::AlignLeft},
    {"Path", 200, Qt::AlignLeft},
}};

bool isDateField(FileField f) {
    return f == fiModified || f == fiCreated || f == fiLastAccess;
}

// What the comparison looks at, computed once per entry and sort instead of once per comparison.
struct SortKey {
    bool folder = false;
    QString column; // the upper-cased column text, or its date key
    QString name;   // the upper-cased caption
    QString caption;
};

SortKey makeSortKey(const FileListEntry& e, int column, bool dateColumn, const QLocale& locale) {
    SortKey key;
    key.folder = e.subItems.isEmpty() || e.subItems.first().isEmpty();
    key.name = e.upperCaption.isEmpty() ? locale.toUpper(e.caption) : e.upperCaption;
    key.caption = e.caption;
    if (column >= 1) {
        const QString text =
            column - 1 < e.subItems.size() ? locale.toUpper(e.subItems[column - 1]) : QString();
        key.column = dateColumn ? fileDateKey(text) : text;
    }
    return key;
}

int compareSortKeys(const SortKey& a, const SortKey& b, int column, bool dateColumn, bool reverse) {
    if (a.folder != b.folder) return a.folder ? -1 : 1;
    int r = column >= 1 ? a.column.compare(b.column) : 0;
    if (r == 0) r = a.name.compare(b.name);
    // Names that differ only in case keep one order however they were read from the disk.
    if (r == 0) r = a.caption.compare(b.caption);
    if (reverse) r = -r;
    if (dateColumn) r = -r;
    return r;
}

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

} // namespace

QString fileDateText(qint64 secondsSinceEpoch) {
    const std::time_t t = static_cast<std::time_t>(secondsSinceEpoch);
    std::tm tm{};
    if (!::localtime_r(&t, &tm)) return QString();
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%02d.%02d.%04d  %02d:%02d", tm.tm_mday, tm.tm_mon + 1,
                  tm.tm_year + 1900, tm.tm_hour, tm.tm_min);
    return QString::fromLatin1(buffer);
}

QString fileDateKey(const QString& dateText) {
    if (dateText.size() == 17) {
        // The whole year leads, so every year sorts in its place (also 1980 before 2026).
        return dateText.mid(6, 4) + dateText.mid(3, 2) + dateText.mid(0, 2) + dateText.mid(12, 5);
    }
    QString key = dateText.mid(6, 2) + dateText.mid(3, 2) + dateText.mid(0, 2) + dateText.mid(10, 5);
    if (key.startsWith(u'9')) key[0] = QChar(0);
    return key;
}

int compareFileEntries(const FileListEntry& a, const FileListEntry& b, int column, bool dateColumn,
                       bool reverse) {
    const QLocale locale = QLocale::system();
    return compareSortKeys(makeSortKey(a, column, dateColumn, locale),
                           makeSortKey(b, column, dateColumn, locale), column, dateColumn, reverse);
}

FileListModel::FileListModel(QObject* parent)
    : QAbstractTableModel(parent), selection_(new QItemSelectionModel(this, this)) {
    ParseMaskList(QStringLiteral("*.*"), masks_, true, false);
    buildColumns();
}

FileListModel::~FileListModel() {
    *alive_ = false;
}

QString FileListModel::Directory() const {
    return folders_.join(u';');
}

void FileListModel::setDirectory(const QString& folders) {
    folders_.clear();
    if (folders.contains(u';') && isFolder(folders)) {
        // ";" is an ordinary character in a Linux folder name: an existing folder is taken whole.
        folders_ << (folders.endsWith(u'/') ? folders : folders + u'/');
    } else if (!folders.isEmpty()) {
        for (QString folder : folders.split(u';')) {
            // An empty piece between separators names no folder (it would otherwise become "/").
            if (folder.isEmpty()) continue;
            if (!folder.endsWith(u'/')) folder += u'/';
            folders_ << folder;
        }
        std::sort(folders_.begin(), folders_.end());
        folders_.erase(std::unique(folders_.begin(), folders_.end()), folders_.end());
    }
    list();
}

QString FileListModel::Mask() const {
    return masks_.join(u';');
}

void FileListModel::setMask(const QString& masks) {
    ParseMaskList(masks, masks_, true, false);
    list();
}

void FileListModel::setFileTypes(FileAttributes types) {
    if (types == fileTypes_) return;
    fileTypes_ = types;
    list();
}

void FileListModel::setViewColumns(FileFields columns) {
    if (columns == viewColumns_) return;
    viewColumns_ = columns;
    beginResetModel();
    entries_.clear();
    buildColumns();
    endResetModel();
    emit columnsChanged();
    list();
}

void FileListModel::setDisplayDirectory(bool on) {
    if (on == displayDirectory_) return;
    displayDirectory_ = on;
    list();
}

void FileListModel::setDisplayParentDir(bool on) {
    if (on == displayParentDir_) return;
    displayParentDir_ = on;
    if (displayDirectory_) list();
}

void FileListModel::buildColumns() {
    const bool all = viewColumns_.contains(fiAll);
    columns_.clear();
    positions_.fill(-1);
    for (int f = fiName; f < fiAll; ++f) {
        const auto field = static_cast<FileField>(f);
        const bool shown = all || viewColumns_.contains(field);
        if (!shown && field != fiName && field != fiSize) continue;
        const ColumnTemplate& t = columnTable[f];
        positions_[f] = static_cast<int>(columns_.size());
        columns_.append({field, QString::fromLatin1(t.caption), shown ? t.width : 0, t.alignment});
    }
}

int FileListModel::columnPosition(FileField field) const {
    return field >= fiName && field < fiAll ? positions_[field] : -1;
}

bool FileListModel::isDateColumn(int position) const {
    return position >= 0 && position < columns_.size() && isDateField(columns_[position].field);
}

void FileListModel::setSortColumn(FileField column) {
    if (column == fiAll || !(viewColumns_.contains(column) || viewColumns_.contains(fiAll))) return;
    if (column == sortColumn_)
        reverseOrder_ = !reverseOrder_;
    else
        sortColumn_ = column;

    const int n = count();
    const std::vector<int> order = sortOrder(entries_);
    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    // The selection and other persistent indexes follow their rows.
    std::vector<int> newRow(static_cast<size_t>(n));
    QList<FileListEntry> sorted;
    sorted.reserve(n);
    for (int i = 0; i < n; ++i) {
        newRow[order[i]] = i;
        sorted.append(std::move(entries_[order[i]]));
    }
    entries_ = std::move(sorted);
    const QModelIndexList from = persistentIndexList();
    QModelIndexList to;
    to.reserve(from.size());
    for (const QModelIndex& i : from)
        to.append(index(newRow[i.row()], i.column()));
    changePersistentIndexList(from, to);
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

std::vector<int> FileListModel::sortOrder(const QList<FileListEntry>& entries) const {
    const int position = columnPosition(sortColumn_);
    const bool date = isDateColumn(position);
    const QLocale locale = QLocale::system();
    std::vector<SortKey> keys;
    keys.reserve(static_cast<size_t>(entries.size()));
    for (const FileListEntry& e : entries)
        keys.push_back(makeSortKey(e, position, date, locale));
    std::vector<int> order(keys.size());
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(), [&](int a, int b) {
        return compareSortKeys(keys[a], keys[b], position, date, reverseOrder_) < 0;
    });
    return order;
}

void FileListModel::list() {
    const quint64 id = ++listingId_;
    const std::shared_ptr<bool> alive = alive_;
    listing_ = true;
    emit listingStarted();
    if (!entries_.isEmpty()) {
        beginRemoveRows(QModelIndex(), 0, count() - 1);
        entries_.clear();
        endRemoveRows();
    }

    const bool anyType = fileTypes_.contains(ftAll);
    const bool hiddenAllowed = anyType || fileTypes_.contains(ftHidden);
    const bool readOnlyAllowed = anyType || fileTypes_.contains(ftReadonly);
    const bool allColumns = viewColumns_.contains(fiAll);
    // Asking the file system whether an entry is writable costs a call per name: only when it
    // filters or is shown.
    const bool needWritable = !readOnlyAllowed || allColumns || viewColumns_.contains(fiAttributes);
    QList<FileField> extraFields;
    for (int p = 2; p < columns_.size(); ++p)
        extraFields.append(columns_[p].field);
    QMimeDatabase mimeDb;
    const QLocale locale = QLocale::system();

    QList<FileListEntry> found;
    QElapsedTimer sinceYield;
    sinceYield.start();
    // Lets the event loop run; false when this listing must stop (replaced, or the model is gone).
    auto yield = [&]() {
        yieldToEvents();
        sinceYield.restart();
        return *alive && listingId_ == id;
    };

    for (const QString& folder : std::as_const(folders_)) {
        // A folder that cannot be read lists nothing; no message.
        std::unique_ptr<DIR, DirCloser> dir(::opendir(pathBytes(folder).constData()));
        if (!dir) continue;
        const int fd = ::dirfd(dir.get());
        while (const dirent* de = ::readdir(dir.get())) {
            if (sinceYield.elapsed() >= yieldMs_ && !yield()) {
                if (*alive) emit listingFinished();
                return;
            }
            const char* rawName = de->d_name;
            if (std::strcmp(rawName, ".") == 0) continue;
            const bool parentDir = std::strcmp(rawName, "..") == 0;
            const bool hidden = rawName[0] == '.' && !parentDir;
            if (hidden && !hiddenAllowed) continue;

            struct statx st {};
            bool statted = false;
            bool folderEntry = de->d_type == DT_DIR;
            if (de->d_type != DT_DIR && de->d_type != DT_REG) {
                // A link or an unknown type: what it leads to decides. A dangling link is no file
                // that could be played.
                if (::statx(fd, rawName, 0, STATX_BASIC_STATS | STATX_BTIME, &st) != 0) continue;
                statted = true;
                if (S_ISDIR(st.stx_mode))
                    folderEntry = true;
                else if (!S_ISREG(st.stx_mode))
                    continue; // devices, pipes and sockets are no files to play
            }

            const QString name = bytesToText(QByteArray(rawName));
            const QString upperName = locale.toUpper(name);
            if (folderEntry) {
                if (!displayDirectory_ || (parentDir && !displayParentDir_)) continue;
            } else if (!MatchesMaskList(upperName, masks_, true, false)) {
                continue;
            }

            if (!statted && ::statx(fd, rawName, 0, STATX_BASIC_STATS | STATX_BTIME, &st) != 0) continue;
            bool readOnly = false;
            if (needWritable) readOnly = ::faccessat(fd, rawName, W_OK, AT_EACCESS) != 0;
            if (readOnly && !readOnlyAllowed) continue;

            FileListEntry e;
            e.caption = name;
            e.folder = folder;
            e.upperCaption = upperName;
            e.subItems.reserve(1 + extraFields.size());
            e.subItems.append(
                folderEntry ? QString() : QStringLiteral("%1").arg(static_cast<qulonglong>(st.stx_size), 10));
            for (FileField field : std::as_const(extraFields)) {
                switch (field) {
                case fiType:
                    e.subItems.append(
                        folderEntry ? mimeDb.mimeTypeForName(QStringLiteral("inode/directory")).comment()
                                    : mimeDb.mimeTypeForFile(name, QMimeDatabase::MatchExtension).comment());
                    break;
                case fiModified:
                    e.subItems.append(fileDateText(st.stx_mtime.tv_sec));
                    break;
                case fiCreated:
                    // Not every file system keeps a birth time; the last change is the next best.
                    e.subItems.append(fileDateText((st.stx_mask & STATX_BTIME) ? st.stx_btime.tv_sec
                                                                               : st.stx_mtime.tv_sec));
                    break;
                case fiLastAccess:
                    e.subItems.append(fileDateText(st.stx_atime.tv_sec));
                    break;
                case fiAttributes:
                    e.subItems.append(attributeLetters(folderEntry, readOnly, hidden));
                    break;
                case fiDosName:
                    e.subItems.append(name);
                    break;
                case fiDosExt: {
                    const qsizetype dot = name.lastIndexOf(u'.');
                    e.subItems.append(dot > 0 ? name.mid(dot) : QString());
                    break;
                }
                case fiPath:
                    e.subItems.append(folder);
                    break;
                default:
                    e.subItems.append(QString());
                    break;
                }
            }
            found.append(std::move(e));
        }
    }

    // One last turn of the event loop before the sort, which runs in one piece.
    if (!yield()) {
        if (*alive) emit listingFinished();
        return;
    }
    if (!found.isEmpty()) {
        const std::vector<int> order = sortOrder(found);
        QList<FileListEntry> sorted;
        sorted.reserve(found.size());
        for (int i : order)
            sorted.append(std::move(found[i]));
        beginInsertRows(QModelIndex(), 0, static_cast<int>(sorted.size()) - 1);
        entries_ = std::move(sorted);
        endInsertRows();
    }
    listing_ = false;
    emit listingFinished();
}

int FileListModel::findCaption(const QString& text) const {
    for (int i = 0; i < count(); ++i)
        if (entries_[i].caption.startsWith(text, Qt::CaseInsensitive)) return i;
    return -1;
}

void FileListModel::removeEntry(int index) {
    if (index < 0 || index >= count()) return;
    beginRemoveRows(QModelIndex(), index, index);
    entries_.removeAt(index);
    endRemoveRows();
}

QList<int> FileListModel::selectedRows() const {
    QList<int> rows;
    for (const QItemSelectionRange& range : selection_->selection()) {
        if (range.left() > 0) continue;
        for (int r = range.top(); r <= range.bottom(); ++r)
            rows.append(r);
    }
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    return rows;
}

int FileListModel::selectedIndex() const {
    int first = -1;
    for (const QItemSelectionRange& range : selection_->selection()) {
        if (range.left() > 0) continue;
        if (first < 0 || range.top() < first) first = range.top();
    }
    return first;
}

int FileListModel::selCount() const {
    return static_cast<int>(selectedRows().size());
}

bool FileListModel::isSelected(int index) const {
    return index >= 0 && index < count() && selection_->isSelected(this->index(index, 0));
}

void FileListModel::select(int index) {
    if (index < 0 || index >= count()) {
        selection_->clear();
        return;
    }
    const QModelIndex i = this->index(index, 0);
    selection_->setCurrentIndex(i, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
}

int FileListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : count();
}

int FileListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(columns_.size());
}

QVariant FileListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= count() || index.column() >= columns_.size()) return {};
    if (role == Qt::DisplayRole) {
        const FileListEntry& e = entries_[index.row()];
        if (index.column() == 0) return displayText(e.caption);
        const int sub = index.column() - 1;
        return sub < e.subItems.size() ? displayText(e.subItems[sub]) : QString();
    }
    if (role == Qt::TextAlignmentRole)
        return QVariant::fromValue(Qt::Alignment(columns_[index.column()].alignment | Qt::AlignVCenter));
    return {};
}

QVariant FileListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || section < 0 || section >= columns_.size()) return {};
    if (role == Qt::DisplayRole) return columns_[section].caption;
    if (role == Qt::TextAlignmentRole) return QVariant::fromValue(Qt::Alignment(columns_[section].alignment));
    return {};
}
