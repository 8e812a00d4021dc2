#include "library/FileListModel.h"

#include "library/FolderScan.h"
#include "library/MaskSearch.h"
#include "platform/ByteText.h"
#include "platform/FileSystem.h"

#include <QLocale>
#include <algorithm>
#include <cstdio>
#include <ctime>
#include <numeric>

bool FileListModel::reverseOrder_ = false;

namespace {

struct ColumnTemplate {
    const char* caption;
    int width;
    Qt::Alignment alignment;
};

const std::array<ColumnTemplate, AllColumns> columnTable{{
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
    return f == ModifiedColumn || f == CreatedColumn || f == LastAccessColumn;
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

std::vector<int> fileEntryOrder(const QList<FileListEntry>& entries, const FileEntryOrder& order) {
    const QLocale locale = QLocale::system();
    std::vector<SortKey> keys;
    keys.reserve(static_cast<size_t>(entries.size()));
    for (const FileListEntry& e : entries)
        keys.push_back(makeSortKey(e, order.column, order.dateColumn, locale));
    std::vector<int> positions(keys.size());
    std::iota(positions.begin(), positions.end(), 0);
    std::stable_sort(positions.begin(), positions.end(), [&](int a, int b) {
        return compareSortKeys(keys[a], keys[b], order.column, order.dateColumn, order.reverse) < 0;
    });
    return positions;
}

int compareFileEntries(const FileListEntry& a, const FileListEntry& b, int column, bool dateColumn,
                       bool reverse) {
    const QLocale locale = QLocale::system();
    return compareSortKeys(makeSortKey(a, column, dateColumn, locale),
                           makeSortKey(b, column, dateColumn, locale), column, dateColumn, reverse);
}

FileListModel::FileListModel(QObject* parent)
    : QAbstractTableModel(parent), selection_(new QItemSelectionModel(this, this)) {
    parseMaskList(QStringLiteral("*.*"), masks_, true, false);
    buildColumns();
}

FileListModel::~FileListModel() {
    stopScans(true);
}

QString FileListModel::directory() const {
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

QString FileListModel::mask() const {
    return masks_.join(u';');
}

void FileListModel::setMask(const QString& masks) {
    parseMaskList(masks, masks_, true, false);
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
    const bool all = viewColumns_.contains(AllColumns);
    columns_.clear();
    positions_.fill(-1);
    for (int f = NameColumn; f < AllColumns; ++f) {
        const auto field = static_cast<FileField>(f);
        const bool shown = all || viewColumns_.contains(field);
        if (!shown && field != NameColumn && field != SizeColumn) continue;
        const ColumnTemplate& t = columnTable[f];
        positions_[f] = static_cast<int>(columns_.size());
        columns_.append({field, QString::fromLatin1(t.caption), shown ? t.width : 0, t.alignment});
    }
}

int FileListModel::columnPosition(FileField field) const {
    return field >= NameColumn && field < AllColumns ? positions_[field] : -1;
}

bool FileListModel::isDateColumn(int position) const {
    return position >= 0 && position < columns_.size() && isDateField(columns_[position].field);
}

void FileListModel::setSortColumn(FileField column) {
    if (column == AllColumns || !(viewColumns_.contains(column) || viewColumns_.contains(AllColumns))) return;
    if (column == sortColumn_)
        reverseOrder_ = !reverseOrder_;
    else
        sortColumn_ = column;

    const int n = count();
    const std::vector<int> order = fileEntryOrder(entries_, currentOrder());
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

FileEntryOrder FileListModel::currentOrder() const {
    const int position = columnPosition(sortColumn_);
    return {position, isDateColumn(position), reverseOrder_};
}

void FileListModel::list() {
    const quint64 id = ++listingId_;
    stopScans(false);
    // The replaced listing ends here; its entries, should they still come, are dropped.
    if (listing_) emit listingFinished();
    listing_ = true;
    emit listingStarted();
    if (!entries_.isEmpty()) {
        beginRemoveRows(QModelIndex(), 0, count() - 1);
        entries_.clear();
        endRemoveRows();
    }

    auto cancelled = std::make_shared<std::atomic<bool>>(false);
    auto ended = std::make_shared<std::atomic<bool>>(false);
    std::thread thread([this, id, request = scanRequest(), cancelled, ended] {
        QList<FileListEntry> found = scanFolders(request, *cancelled);
        // The destructor joins this thread, so the model is still there to queue to. A replaced
        // listing's entries are dropped there.
        QMetaObject::invokeMethod(
            this,
            [this, id, found = std::move(found), order = request.order]() mutable {
                publish(id, std::move(found), order);
            },
            Qt::QueuedConnection);
        if (request.scanHook) request.scanHook(-1);
        ended->store(true);
    });
    scans_.push_back({std::move(thread), std::move(cancelled), std::move(ended)});
}

FolderScanRequest FileListModel::scanRequest() const {
    FolderScanRequest r;
    r.folders = folders_;
    r.masks = masks_;
    const bool anyType = fileTypes_.contains(AnyFile);
    r.hiddenAllowed = anyType || fileTypes_.contains(HiddenFile);
    r.readOnlyAllowed = anyType || fileTypes_.contains(ReadOnlyFile);
    // Asking the file system whether an entry is writable costs a call per name: only when it
    // filters or is shown.
    r.needWritable =
        !r.readOnlyAllowed || viewColumns_.contains(AllColumns) || viewColumns_.contains(AttributesColumn);
    r.displayDirectory = displayDirectory_;
    r.displayParentDir = displayParentDir_;
    for (int p = 2; p < columns_.size(); ++p)
        r.extraFields.append(columns_[p].field);
    r.order = currentOrder();
    r.scanHook = scanHook_;
    return r;
}

void FileListModel::publish(quint64 id, QList<FileListEntry> found, const FileEntryOrder& sortedBy) {
    if (id != listingId_) return;
    // The sort column or direction changed while the folders were read.
    if (sortedBy != currentOrder()) {
        QList<FileListEntry> sorted;
        sorted.reserve(found.size());
        for (int i : fileEntryOrder(found, currentOrder()))
            sorted.append(std::move(found[i]));
        found = std::move(sorted);
    }
    if (!found.isEmpty()) {
        beginInsertRows(QModelIndex(), 0, static_cast<int>(found.size()) - 1);
        entries_ = std::move(found);
        endInsertRows();
    }
    listing_ = false;
    emit listingFinished();
}

void FileListModel::stopScans(bool wait) {
    for (auto it = scans_.begin(); it != scans_.end();) {
        it->cancelled->store(true);
        if (!wait && !it->ended->load()) {
            ++it;
            continue;
        }
        it->thread.join();
        it = scans_.erase(it);
    }
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

int FileListModel::selectedCount() const {
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
