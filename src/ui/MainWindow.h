#pragma once
// The player's one window: borderless, 840 x 220 client pixels, with every control at its place. It
// owns the Player, shows its state and forwards the controls' events to the player's operations.

#include "app/Lifecycle.h"
#include "app/Player.h"
#include "app/WindowShell.h"
#include "platform/Window.h"
#include "ui/SongListView.h"

#include <QEvent>
#include <QIcon>
#include <QWidget>
#include <functional>
#include <memory>

class QAbstractButton;
class QAction;
class QLabel;
class QMenu;
class QListView;
class QPushButton;
class QFrame;
class QPlainTextEdit;
class QRadioButton;
class TrackBar;
class BitmapCheckBox;
class ShellTreeView;
class FileListWidget;
class InstanceChannel;
class TrayIcon;
class FileDropTarget;

// The platform services the window hands to its Player (the window itself is the fifth).
struct PlatformServices {
    AudioEngine& audioEngine;
    IMixer& mixer;
    IHotKeySource& hotKeys;
    IDialogs& dialogs;
};

class MainWindow : public QWidget, public IWindow {
    Q_OBJECT
public:
    MainWindow(PlatformServices services, InstanceChannel& channel, QWidget* parent = nullptr);
    ~MainWindow() override;

    // Runs the start-up sequence up to the first picture; EndProcess when this process is to end
    // without showing the window. The rest runs by itself right after the window's first paint.
    Lifecycle::Start start(const QStringList& arguments, const QString& executableFolder);
    // The rest of the start (see Lifecycle::finishStart); once, after a start that returned Run.
    void finishStart();

signals:
    // The start has finished: the services the desktop finds the player by may be offered now.
    void startFinished();

public:

    Player& player() { return *player_; }

    // IWindow
    void moveTo(int left, int top) override;
    QPoint position() const override;
    bool positionKnown() const override;
    int width() const override;
    bool isShown() const override;
    void showWindow() override;
    void hideWindow() override;
    void minimizeWindow() override;
    void raiseAndActivate() override;
    void closeWindow() override;
    void focus(FocusTarget target) override;
    void setBusy(bool busy) override;
    int textWidth(const QString& text) const override;
    int songListTopIndex() const override;
    void yieldToEvents() override;
    QList<QRect> screenAreas() const override;

    // The controls, under the names the rest of the program uses for them.
    QWidget* client = nullptr;
    QLabel* versionLabel = nullptr;
    QLabel* titleStrip = nullptr;
    QLabel* bitrateLabel = nullptr;
    QPushButton* exitButton = nullptr;
    QLabel* sortLabel = nullptr;
    QLabel* sortByNameLabel = nullptr;
    QLabel* sortByDateLabel = nullptr;
    QPushButton* previousButton = nullptr;
    QPushButton* playButton = nullptr;
    QPushButton* nextButton = nullptr;
    TrackBar* positionBar = nullptr;
    BitmapCheckBox* levellingBox = nullptr;
    TrackBar* volumeBar = nullptr;
    ShellTreeView* folderTree = nullptr;
    FileListWidget* fileList = nullptr;
    SongListView* songListView = nullptr;
    // Made the first time it shows, as the panels below.
    QListView* stationListView = nullptr;
    QPushButton* playlistButton = nullptr;
    QPushButton* addAllButton = nullptr;
    QLabel* trayLabel = nullptr;
    QPushButton* clearButton = nullptr;
    QPushButton* radioButton = nullptr;
    // The hint for a long song title: a window of its own, so it can reach past the window's edge.
    QLabel* titleHint = nullptr;

    // The panels that cover other controls are made the first time they show; until then these are null.
    QFrame* radioPanel = nullptr;
    QPlainTextEdit* stationEditorText = nullptr;
    QPushButton* saveStationsButton = nullptr;
    QPushButton* closeEditorButton = nullptr;
    QPushButton* updateStationsButton = nullptr;
    QRadioButton* appendChoice = nullptr;
    QRadioButton* overwriteChoice = nullptr;

    QFrame* entryPanel = nullptr;
    QListView* entryListView = nullptr;
    QPushButton* closeEntriesButton = nullptr;
    QPushButton* addStationButton = nullptr;

    QMenu* playlistMenu = nullptr;
    QAction* loadPlaylistAction = nullptr;
    QAction* savePlaylistAction = nullptr;

    QFrame* deletePanel = nullptr;
    QLabel* deleteCaptionLabel = nullptr;
    QLabel* deleteFileLabel = nullptr;
    QLabel* deleteQuestionLabel = nullptr;
    QPushButton* yesButton = nullptr;
    QPushButton* noButton = nullptr;

    // The notification-area icon and the song list's drop target (wired in MainWindowShell.cpp).
    TrayIcon* trayIcon = nullptr;
    FileDropTarget* songDropTarget = nullptr;

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void createControls();
    void bindState();
    void bindEvents();
    // Clicks on b run handler, guarded.
    void onClick(QAbstractButton* b, std::function<void()> handler);
    void bindBrowser();
    // The "Playliste" button and its menu (MainWindowPlaylist.cpp).
    void bindPlaylist();
    void showPlaylistMenu();
    // The station list, the station list editor and the playlist entries panel (MainWindowRadio.cpp);
    // each is made, placed and bound the first time it shows.
    QWidget* buildStationList();
    QWidget* buildStationEditor();
    QWidget* buildEntryPanel();
    // Keys (MainWindowKeys.cpp): the window sees every key before the focused control; the song list and
    // the station list then handle keys of their own.
    void bindKeys();
    bool previewKey(QWidget* receiver, QKeyEvent* event);
    bool controlKeyDown(QObject* watched, QKeyEvent* event);
    void bindShell();
    // The program's picture, for the window's corner, the taskbar and the notification area; painted
    // when first needed (MainWindowShell.cpp).
    const QIcon& picture();
    // The delete confirmation (MainWindowShell.cpp), made the first time it shows.
    QWidget* buildDeletePanel();
    void bindHint();
    // The hint goes when widget receives an event of type.
    void hideHintOn(QWidget* widget, QEvent::Type type);
    void showHint(const HintBox& hint);
    void onFileListFocusIn();
    void onFileListFocusOut();

    std::unique_ptr<Player> player_;
    std::unique_ptr<Lifecycle> lifecycle_;
    // The application-wide filter that previews keys; gone before the player is.
    QObject* keyPreview_ = nullptr;
    std::unique_ptr<WindowShell> shell_;
    QIcon picture_;
    bool started_ = false;
    bool finishQueued_ = false;
    bool finishing_ = false;
    // A close asked for while the start finished (its folder reads let events run) waits for its end.
    bool closeWanted_ = false;
    bool closed_ = false;
    bool settingsWritten_ = false;
    bool minimizedOnWayland_ = false;
};
