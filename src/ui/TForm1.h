#pragma once
// The player's one window: borderless, 840 x 220 client pixels, with every control at its place. It
// owns the Player, shows its state and forwards the controls' events to the player's operations.

#include "app/Lifecycle.h"
#include "app/Player.h"
#include "app/Window.h"
#include "app/WindowShell.h"
#include "ui/SongListView.h"

#include <QWidget>
#include <memory>

class QAction;
class QLabel;
class QMenu;
class QListView;
class QPushButton;
class QFrame;
class QPlainTextEdit;
class QRadioButton;
class TTrackbar_32;
class TSRCheckBox;
class ShellTreeView;
class TFileList;
class InstanceChannel;
class TTaskBarIcon;
class TDropFileTarget;

// The platform services the window hands to its Player (the window itself is the fifth).
struct PlatformServices {
    IBass& bass;
    IMixer& mixer;
    IHotKeySource& hotKeys;
    IDialogs& dialogs;
};

class TForm1 : public QWidget, public IWindow {
    Q_OBJECT
public:
    TForm1(PlatformServices services, InstanceChannel& channel, QWidget* parent = nullptr);
    ~TForm1() override;

    // Runs the start-up sequence; EndProcess when this process is to end without showing the window.
    Lifecycle::Start start(const QStringList& arguments, const QString& executableFolder);

    Player& player() { return *player_; }

    // IWindow
    void moveTo(int left, int top) override;
    QPoint position() const override;
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
    void processEvents() override;
    QList<QRect> screenAreas() const override;

    // The controls, under the names the rest of the program uses for them.
    QWidget* client = nullptr;
    QLabel* verL = nullptr;
    QLabel* SongL = nullptr;
    QLabel* bitrateL = nullptr;
    QPushButton* exitB = nullptr;
    QLabel* sortL = nullptr;
    QLabel* sortNameL = nullptr;
    QLabel* sortDateL = nullptr;
    QPushButton* rueckB = nullptr;
    QPushButton* PlayB = nullptr;
    QPushButton* vorB = nullptr;
    TTrackbar_32* posTB = nullptr;
    TSRCheckBox* lautanpassenCB = nullptr;
    TTrackbar_32* volumeTB = nullptr;
    ShellTreeView* ShellTreeView1 = nullptr;
    TFileList* FileList1 = nullptr;
    SongListView* songLB = nullptr;
    QListView* radiosenderLB = nullptr;
    QPushButton* playlisteB = nullptr;
    QPushButton* alleB = nullptr;
    QLabel* TaskbarL = nullptr;
    QPushButton* leerenB = nullptr;
    QPushButton* dasRadioB = nullptr;
    // The hint for a long song title: a window of its own, so it can reach past the window's edge.
    QLabel* Hilfsanzeige = nullptr;

    QFrame* radioPanel = nullptr;
    QPlainTextEdit* radioRE = nullptr;
    QPushButton* radiolistesaveB = nullptr;
    QPushButton* radiolisteexitB = nullptr;
    QPushButton* radiolisteladenB = nullptr;
    QRadioButton* anhaengenRB = nullptr;
    QRadioButton* ueberschrRB = nullptr;

    QFrame* senderP = nullptr;
    QListView* sendertitelLB = nullptr;
    QPushButton* senderlisteexitB = nullptr;
    QPushButton* senderspeichernB = nullptr;

    QMenu* PlaylisteMenu = nullptr;
    QAction* SLladen = nullptr;
    QAction* SLspeichern = nullptr;

    QFrame* loeschP = nullptr;
    QLabel* loeschL1 = nullptr;
    QLabel* loeschL = nullptr;
    QLabel* loeschL2 = nullptr;
    QPushButton* jaB = nullptr;
    QPushButton* neinB = nullptr;

    // The notification-area icon and the song list's drop target (wired in TForm1Shell.cpp).
    TTaskBarIcon* TaskBarIcon1 = nullptr;
    TDropFileTarget* DropFileTarget1 = nullptr;

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void createControls();
    void createPanels();
    void bindState();
    void bindEvents();
    void bindBrowser();
    // The "Playliste" button and its menu (TForm1Playlist.cpp).
    void bindPlaylist();
    void playlisteBClick();
    // The station list, the station list editor and the playlist entries panel (TForm1Radio.cpp).
    void bindRadio();
    // Keys (TForm1Keys.cpp): the window sees every key before the focused control; the song list and
    // the station list then handle keys of their own.
    void bindKeys();
    bool previewKey(QWidget* receiver, QKeyEvent* event);
    bool controlKeyDown(QObject* watched, QKeyEvent* event);
    void bindShell();
    void bindHint();
    void showHint(const HintBox& hint);
    void FileList1Enter();
    void FileList1Exit();

    std::unique_ptr<Player> player_;
    std::unique_ptr<Lifecycle> lifecycle_;
    // The application-wide filter that previews keys; gone before the player is.
    QObject* keyPreview_ = nullptr;
    std::unique_ptr<WindowShell> shell_;
    bool started_ = false;
    bool closed_ = false;
    bool settingsWritten_ = false;
};
