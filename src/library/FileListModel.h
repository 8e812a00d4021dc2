#pragma once
// The file list without its widget: the folders and masks it shows, the columns, the entries of one
// listing and their order, and the selection. The player's operations (taking entries into the song
// list, deleting a file's entry) work on this model; src/ui/FileList.h shows it.
//
// Listing reads the folders on a thread of its own, so the window stays free in large folders, and
// hands the sorted entries to the model on the model's thread. A listing started meanwhile replaces
// the running one: that one stops early and its entries are never shown.

#include <QAbstractTableModel>
#include <QItemSelectionModel>
#include <QList>
#include <QString>
#include <QStringList>
#include <array>
#include <atomic>
#include <functional>
#include <initializer_list>
#include <list>
#include <memory>
#include <thread>
#include <vector>

// A small set over one of the enums below.
template <class E> class EnumSet {
public:
    constexpr EnumSet() = default;
    constexpr EnumSet(std::initializer_list<E> values) {
        for (E v : values)
            bits_ |= bit(v);
    }
    constexpr bool contains(E v) const { return (bits_ & bit(v)) != 0; }
    constexpr EnumSet& insert(E v) {
        bits_ |= bit(v);
        return *this;
    }
    constexpr EnumSet& remove(E v) {
        bits_ &= ~bit(v);
        return *this;
    }
    constexpr bool operator==(const EnumSet&) const = default;

private:
    static constexpr unsigned bit(E v) { return 1u << static_cast<unsigned>(v); }
    unsigned bits_ = 0;
};

// File attributes a listed entry may carry. On Linux an entry is hidden when its name starts with
// ".", read-only when the user may not write it; there is no archive, system or temporary attribute.
enum FileAttribute { ArchiveFile, ReadOnlyFile, SystemFile, HiddenFile, TemporaryFile, AnyFile };
using FileAttributes = EnumSet<FileAttribute>;

// The columns an entry can show, in the order they are laid out; AllColumns stands for all of them.
enum FileField {
    NameColumn,
    SizeColumn,
    TypeColumn,
    ModifiedColumn,
    CreatedColumn,
    LastAccessColumn,
    AttributesColumn,
    DosNameColumn,
    DosExtColumn,
    PathColumn,
    AllColumns
};
using FileFields = EnumSet<FileField>;

struct ColumnInfo {
    FileField field;
    QString caption;
    int width; // 0 for a column that exists but is not shown (Name and Size always exist)
    Qt::Alignment alignment;
};

struct FileListEntry {
    QString caption; // the file name with its extension, or the folder's name
    // The size text (empty for a folder, which is how folders are told apart), then the texts of
    // the shown columns from Type on, in column order.
    QStringList subItems;
    QString folder; // the listed folder the entry was found in, with a final "/"
    // The upper-cased caption the sort compares; worked out while listing, so a later sort has less
    // to do. Empty: worked out when needed.
    QString upperCaption;
};

// "dd.mm.yyyy  hh:mm" of a time stamp (seconds since the epoch) in local time.
QString fileDateText(qint64 secondsSinceEpoch);

// A text that sorts like the date of a date text "dd.mm.yyyy  hh:mm". A text with a two-digit year
// ("dd.mm.yy  hh:mm") takes years starting with 9 as the 1990s, before 00..89.
QString fileDateKey(const QString& dateText);

// Order of two entries for the column at position column (below 1: the name column): folders first
// in any case, then the column's upper-cased text (as dates when dateColumn), then the upper-cased
// names. reverse turns the order round; date columns sort newest first when reverse is clear.
// Negative when a comes first.
int compareFileEntries(const FileListEntry& a, const FileListEntry& b, int column, bool dateColumn,
                       bool reverse);

// How entries are put in order: by the column at position column (as compareFileEntries).
struct FileEntryOrder {
    int column = 0;
    bool dateColumn = false;
    bool reverse = false;
    bool operator==(const FileEntryOrder&) const = default;
};

// Positions of entries in that order.
std::vector<int> fileEntryOrder(const QList<FileListEntry>& entries, const FileEntryOrder& order);

struct FolderScanRequest;

class FileListModel : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit FileListModel(QObject* parent = nullptr);
    ~FileListModel() override;

    // --- Properties. Setting the folders or the masks always lists again; the others list again when
    // their value changes (displayParentDir only while displayDirectory is on).

    // Folders separated by ";", held sorted without duplicates, each with a final "/"; a text
    // that names an existing folder as a whole is that one folder. Reading joins them with ";".
    QString directory() const;
    void setDirectory(const QString& folders);
    // Masks separated by ";" or ","; a bare word w means "*w*". Matching ignores case.
    QString mask() const;
    void setMask(const QString& masks);
    FileAttributes fileTypes() const { return fileTypes_; }
    void setFileTypes(FileAttributes types);
    FileFields viewColumns() const { return viewColumns_; }
    void setViewColumns(FileFields columns);
    bool displayDirectory() const { return displayDirectory_; }
    void setDisplayDirectory(bool on);
    bool displayParentDir() const { return displayParentDir_; }
    void setDisplayParentDir(bool on);

    FileField sortColumn() const { return sortColumn_; }
    // Sorts the entries by column without reading the disk. The same column again turns the order
    // round; another column keeps the direction. A column that is not shown, and AllColumns, are ignored.
    void setSortColumn(FileField column);
    // The direction flag, one for all file lists of the program.
    static bool reverseOrder() { return reverseOrder_; }
    static void setReverseOrder(bool on) { reverseOrder_ = on; }

    // --- Columns: Name (0) and Size (1) always, then the shown columns from Type on.
    const QList<ColumnInfo>& columns() const { return columns_; }
    // The position of a column, -1 when it is not laid out.
    int columnPosition(FileField field) const;

    // --- Entries, in displayed order.
    int count() const { return static_cast<int>(entries_.size()); }
    const FileListEntry& entry(int index) const { return entries_[index]; }
    QString caption(int index) const { return entries_[index].caption; }
    // The first entry whose caption starts with text, ignoring case; -1 when none.
    int findCaption(const QString& text) const;
    // Takes one entry off the list (the disk is not read again).
    void removeEntry(int index);
    // Lists the folders again with the current properties.
    void refresh() { list(); }
    bool isListing() const { return listing_; }
    // Runs on the listing's thread after each name it reads (with the count so far), and with -1
    // once its entries were handed over; for tests that change a folder while it is read. Taken by
    // the listings that start afterwards.
    void setScanHook(std::function<void(int namesRead)> hook) { scanHook_ = std::move(hook); }

    // --- Selection, shared with the view.
    QItemSelectionModel* selectionModel() const { return selection_; }
    // The first selected entry in displayed order, -1 for none.
    int selectedIndex() const;
    int selectedCount() const;
    bool isSelected(int index) const;
    // The selected entries in displayed order.
    QList<int> selectedRows() const;
    // Selects only index and makes it the current entry; -1 clears the selection.
    void select(int index);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

signals:
    // Every listing that starts also finishes, also one that was replaced: a view shows the wait
    // cursor in between.
    void listingStarted();
    void listingFinished();
    // The columns were laid out anew (the view columns changed): a view applies their widths.
    void columnsChanged();

private:
    void buildColumns();
    void list();
    FolderScanRequest scanRequest() const;
    // Takes the entries of listing id, unless a newer one replaced it.
    void publish(quint64 id, QList<FileListEntry> found, const FileEntryOrder& sortedBy);
    // Tells the scans to stop; joins the threads of those that ended (all of them when wait).
    void stopScans(bool wait);
    // The order of the current sort column and direction.
    FileEntryOrder currentOrder() const;
    bool isDateColumn(int position) const;

    QStringList folders_;
    QStringList masks_;
    FileAttributes fileTypes_{ArchiveFile, ReadOnlyFile};
    FileFields viewColumns_{NameColumn, SizeColumn, TypeColumn, ModifiedColumn};
    FileField sortColumn_ = NameColumn;
    bool displayDirectory_ = true;
    bool displayParentDir_ = false;

    QList<ColumnInfo> columns_;
    std::array<int, AllColumns> positions_{};
    QList<FileListEntry> entries_;
    QItemSelectionModel* selection_;

    quint64 listingId_ = 0;
    bool listing_ = false;
    std::function<void(int)> scanHook_;
    // A replaced scan's thread is joined once it has ended, not while the window waits for it;
    // the destructor joins them all, so no scan outlives the model it hands its entries to.
    struct Scan {
        std::thread thread;
        std::shared_ptr<std::atomic<bool>> cancelled;
        std::shared_ptr<std::atomic<bool>> ended;
    };
    std::list<Scan> scans_;

    static bool reverseOrder_;
};
