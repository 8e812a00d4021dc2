#include "ui/MainWindow.h"

#include "platform/ByteText.h"
#include "platform/EventLoop.h"
#include "platform/SessionPlatform.h"
#include "ui/BitmapCheckBox.h"
#include "ui/EventHook.h"
#include "ui/FileList.h"
#include "ui/Pictures.h"
#include "ui/PlacedControls.h"
#include "ui/ScreenPlace.h"
#include "ui/ShellTreeView.h"
#include "ui/SongListView.h"
#include "ui/StateBinding.h"
#include "ui/TrackBar.h"
#include "ui/TrayIcon.h"
#include "ui/WindowControls.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFontMetrics>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QListView>
#include <QMouseEvent>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QStyle>
#include <QStyleOptionFrame>
#include <QTimer>
#include <algorithm>

namespace {

// The raised frame around the client area.
constexpr int frameWidth = 2;
const QColor skyBlue(0xA6, 0xCA, 0xF0);
// The system grey of the window's grey texts.
const QColor gray(0x80, 0x80, 0x80);
constexpr int titleBitrateGap = 6;
// How long the rest of the start waits for the window's first paint at most.
constexpr int firstPaintWaitMs = 1000;

} // namespace

MainWindow::MainWindow(PlatformServices services, InstanceChannel& channel, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint) {
    player_ = std::make_unique<Player>(
        Services{services.audioEngine, services.mixer, services.hotKeys, services.dialogs, *this});
    lifecycle_ = std::make_unique<Lifecycle>(*player_, channel);

    QFont windowFont = font();
    windowFont.setPixelSize(11);
    setFont(windowFont);
    setFixedSize(840 + 2 * frameWidth, 220 + 2 * frameWidth);

    client = new QWidget(this);
    client->setGeometry(frameWidth, frameWidth, 840, 220);
    client->setAutoFillBackground(true);
    QPalette buttonFace = client->palette();
    buttonFace.setColor(QPalette::Window, buttonFace.color(QPalette::Button));
    client->setPalette(buttonFace);

    createControls();
    bindState();
    bindEvents();
    bindBrowser();
    bindPlaylist();
    bindKeys();
    bindShell();
    bindHint();
}

MainWindow::~MainWindow() {
    delete keyPreview_;
    // Closing may not have run (a process that ends during start-up); the settings are written only
    // after a start that got that far, and only once.
    if (started_ && !settingsWritten_) lifecycle_->writeSettingsAtExit();
    // The controls outlive this body and the player; one that loses the focus while it is deleted still
    // signals (the file list's focus mark), and nothing of the window may answer then.
    for (QObject* child : findChildren<QObject*>())
        disconnect(child, nullptr, this, nullptr);
    // The hooks call into the player, which goes before the controls do: a control hidden while it
    // is deleted would reach it.
    qDeleteAll(findChildren<EventHook*>());
}

Lifecycle::Start MainWindow::start(const QStringList& arguments, const QString& executableFolder) {
    const Lifecycle::Start result = lifecycle_->start(arguments, executableFolder);
    started_ = result == Lifecycle::Start::Run;
    if (!started_) return result;
    // Should no paint come (a window that never becomes visible), the start still finishes.
    QTimer::singleShot(firstPaintWaitMs, this, &MainWindow::finishStart);
    return result;
}

void MainWindow::finishStart() {
    if (!started_ || closed_ || finishing_ || lifecycle_->startFinished()) return;
    finishing_ = true;
    // The desktop's taskbar may show the picture a moment after the window; the window's corner has it
    // from the first paint on.
    setWindowIcon(picture());
    trayIcon->setIcon(picture());
    lifecycle_->finishStart();
    finishing_ = false;
    emit startFinished();
    if (closeWanted_) close();
}

void MainWindow::createControls() {
    QFont bold = font();
    bold.setBold(true);

    versionLabel = place(label(client, QString()), 48, 0, 105, 20);
    titleStrip = place(label(client, QString()), 152, 0, 641, 20);
    titleStrip->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    // Room between the title's end and the bitrate beside it, however long the title.
    titleStrip->setIndent(titleBitrateGap);
    for (QLabel* strip : {versionLabel, titleStrip}) {
        strip->setFont(bold);
        strip->setAutoFillBackground(true);
        QPalette p = strip->palette();
        p.setColor(QPalette::Window, skyBlue);
        strip->setPalette(p);
    }
    versionLabel->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    bitrateLabel = place(label(client, QStringLiteral(" - ")), 792, 0, 25, 20);
    bitrateLabel->setAlignment(Qt::AlignCenter);
    exitButton = button(client, QStringLiteral("X"), 821, 0, 20, 20);
    exitButton->setFont(bold);

    sortLabel = place(label(client, QStringLiteral("sortiert nach:")), 388, 20, 72, 13);
    sortByNameLabel = place(label(client, QStringLiteral("Name")), 464, 20, 36, 13);
    sortByDateLabel = place(label(client, QStringLiteral("Datum")), 504, 20, 40, 13);

    previousButton = button(client, QString(), 8, 40, 36, 25);
    previousButton->setIcon(previousPicture());
    playButton = button(client, QString(), 48, 40, 52, 25);
    playButton->setIcon(startPicture());
    nextButton = button(client, QString(), 104, 40, 40, 25);
    nextButton->setIcon(nextPicture());
    for (QPushButton* b : {previousButton, playButton, nextButton})
        b->setIconSize(QSize(16, 16));

    positionBar = makePositionBar(client);
    levellingBox = makeLevellingBox(client);
    // The caption needs two lines at this font size.
    levellingBox->setWordWrap(true);
    volumeBar = makeVolumeBar(client);

    folderTree = place(new ShellTreeView(client), 160, 32, 220, 150);
    fileList = place(new FileListWidget(client, &player_->browser.fileList), 384, 32, 217, 150);
    fileList->setColumnWidth(0, 300);
    songListView = place(new SongListView(client), 608, 32, 225, 150);

    playlistButton = button(client, QStringLiteral("Playliste"), 176, 192);
    addAllButton = button(client, QStringLiteral("alle"), 384, 192);
    trayLabel = place(label(client, QStringLiteral(" T a s k b a r")), 464, 184, 154, 32);
    QFont arial(QStringLiteral("Arial"));
    arial.setPixelSize(27);
    trayLabel->setFont(arial);
    QPalette grey = trayLabel->palette();
    grey.setColor(QPalette::WindowText, gray);
    trayLabel->setPalette(grey);
    clearButton = button(client, QStringLiteral("leeren"), 640, 192);
    radioButton = button(client, QStringLiteral("Radio"), 760, 192);

    titleHint = label(this, QString());
    titleHint->setWindowFlags(Qt::ToolTip | Qt::FramelessWindowHint | Qt::WindowTransparentForInput);
    titleHint->setFont(font());
    // A one-pixel frame and three pixels of margin on either side: hintPadding in all.
    titleHint->setFrameStyle(QFrame::Box | QFrame::Plain);
    titleHint->setLineWidth(1);
    titleHint->setContentsMargins(3, 0, 3, 0);
    titleHint->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    titleHint->setAutoFillBackground(true);
    QPalette yellow = titleHint->palette();
    yellow.setColor(QPalette::Window, Qt::yellow);
    yellow.setColor(QPalette::WindowText, Qt::black);
    titleHint->setPalette(yellow);
    titleHint->hide();
}

void MainWindow::bindState() {
    Player& p = *player_;
    bindText(p.startup.versionLabel, versionLabel);
    bindText(p.channel.titleStrip, titleStrip);
    bindText(p.channel.bitrateLabel, bitrateLabel);
    bindText(p.radio.radioButton, radioButton);
    bindText(p.radio.clearButton, clearButton);
    bindVisibleOnDemand(p.radio.stationListVisible, this, [this] { return buildStationList(); });
    bindVisibleOnDemand(p.editor.panelVisible, this, [this] { return buildStationEditor(); });
    bindVisibleOnDemand(p.editor.entryPanelVisible, this, [this] { return buildEntryPanel(); });
    bindVisibleOnDemand(p.deletion.panelVisible, this, [this] { return buildDeletePanel(); });
    p.channel.playButton.onChange([this](PlayPicture picture) {
        playButton->setIcon(picture == PlayPicture::Start ? startPicture() : stopPicture());
    });
    p.browser.sortByDate.onChange([this](bool byDate) {
        // The darker label shows the active sort.
        const QColor medGray(0xA0, 0xA0, 0xA4);
        for (auto [label, active] : {std::pair{sortByNameLabel, !byDate}, {sortByDateLabel, byDate}}) {
            QPalette palette = label->palette();
            palette.setColor(QPalette::WindowText, active ? gray : medGray);
            label->setPalette(palette);
        }
    });
    p.startup.windowTitle.onChange([this](const QString& title) { setWindowTitle(title); });
    p.songList.titleHint.onChange([this](const HintBox& hint) { showHint(hint); });

    bindList(p.songList.songs, songListView);
    bindRange(p.channel.positionBar, positionBar);
    bindRange(p.volume.volumeBar, volumeBar);
    bindCheck(p.volume.levellingBox, levellingBox);
}

void MainWindow::onClick(QAbstractButton* b, std::function<void()> handler) {
    // Every handler runs guarded: an error ends the handler, is shown, and the program runs on.
    connect(b, &QAbstractButton::clicked, b, [&p = *player_, handler] { p.guarded(handler); });
}

void MainWindow::bindEvents() {
    Player& p = *player_;
    connect(exitButton, &QPushButton::clicked, this, &QWidget::close);
    onClick(playButton, [&p] { p.seq.playButtonClicked(); });
    onClick(nextButton, [&p] { p.seq.nextButtonClicked(); });
    onClick(previousButton, [&p] { p.seq.previousButtonClicked(); });
    onClick(addAllButton, [&p] { p.browser.takeAllFiles(true); });
    onClick(clearButton, [&p] { p.songList.clearButtonClicked(); });
    onClick(radioButton, [&p] { p.radio.toggleRadioMode(); });

    // The position bar pauses before the bar itself reacts to the press; it resumes after the release.
    positionBar->installEventFilter(this);
    positionBar->onMouseUp = [&p](Qt::MouseButton, Qt::KeyboardModifiers, int, int) {
        p.guarded([&p] { p.seq.onPositionBarRelease(); });
    };

    connect(songListView, &SongListView::mouseDown, this,
            [&p](int, int y) { p.guarded([&] { p.songList.onSongListPress(y); }); });
    connect(songListView, &SongListView::mouseMove, this,
            [&p](bool held, int x, int y) { p.guarded([&] { p.songList.onSongListMove(held, x, y); }); });
    connect(songListView, &SongListView::mouseUp, this,
            [&p](int x, int y) { p.guarded([&] { p.songList.onSongListRelease(x, y); }); });
}

void MainWindow::showHint(const HintBox& hint) {
    if (!hint.visible) {
        titleHint->hide();
        return;
    }
    titleHint->setText(displayText(hint.text));
    // Right-aligned with the window as asked, but never off the screen the window is on: a title wider
    // than the window reaches out to the left of it.
    const QRect area = screen()->availableGeometry();
    const QRect box(client->mapToGlobal(QPoint(hint.left, hint.top)),
                    QSize(std::min(hint.width, area.width()), 21));
    titleHint->setGeometry(movedInside(box, area));
    titleHint->show();
    titleHint->raise();
}

// The hint belongs to the pointer over the song list: it goes when the pointer leaves the list, when
// the list is hidden or covered, and when the window is hidden.
void MainWindow::bindHint() {
    hideHintOn(songListView->viewport(), QEvent::Leave);
    hideHintOn(songListView, QEvent::Hide);
    hideHintOn(this, QEvent::Hide);
}

void MainWindow::hideHintOn(QWidget* widget, QEvent::Type type) {
    new EventHook(widget, [&p = *player_, type](QEvent* event) {
        if (event->type() == type) p.guarded([&p] { p.songList.hideHint(); });
        return false;
    });
}

void MainWindow::bindBrowser() {
    Player& p = *player_;
    p.browser.attachTree(*folderTree);
    connect(folderTree, &ShellTreeView::change, this,
            [&p] { p.guarded([&p] { p.browser.onFolderChosen(); }); });
    connect(folderTree, &ShellTreeView::click, this,
            [&p] { p.guarded([&p] { p.browser.onFolderTreeClick(); }); });
    connect(folderTree, &ShellTreeView::keyDown, this,
            [&p](QKeyEvent* e) { p.guarded([&] { p.browser.onFolderTreeKey(e->key()); }); });
    connect(fileList, &FileListWidget::click, this,
            [&p] { p.guarded([&p] { p.browser.onFileListClick(); }); });
    connect(fileList, &FileListWidget::keyDown, this, [&p](QKeyEvent* e) {
        p.guarded([&] {
            if (p.browser.onFileListKey(e->key())) e->accept();
        });
    });
    connect(fileList, &FileListWidget::focusEntered, this, &MainWindow::onFileListFocusIn);
    connect(fileList, &FileListWidget::focusLeft, this, &MainWindow::onFileListFocusOut);
    for (QLabel* l : {sortByNameLabel, sortByDateLabel})
        l->installEventFilter(this);
    player_->browser.sortByDate.set(true);
    player_->browser.sortByDate.set(false);
}

// Focus marks: a blue frame around the tree's selected folder while the file list has the focus, and
// around the selected file when it leaves.
void MainWindow::onFileListFocusIn() {
    // The frame is painted with the tree, so nothing needs the event loop here: running it inside the
    // focus change would deliver a fast click's release before its press had selected the row.
    folderTree->drawFocusFrame(folderTree->nodeTextRect(folderTree->selectedNode()), Qt::blue);
}

void MainWindow::onFileListFocusOut() {
    const int selected = player_->browser.fileList.selectedIndex();
    if (selected < 0) return;
    fileList->drawFocusFrame(fileList->entryRect(selected).adjusted(0, -1, 0, 1), Qt::blue);
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
    Player& p = *player_;
    if (event->type() == QEvent::KeyPress && controlKeyDown(watched, static_cast<QKeyEvent*>(event)))
        return true;
    if (event->type() == QEvent::MouseButtonRelease &&
        (watched == sortByNameLabel || watched == sortByDateLabel)) {
        p.guarded([&] {
            if (watched == sortByNameLabel)
                p.browser.chooseSortByName();
            else
                p.browser.chooseSortByDate();
        });
        return true;
    }
    if (watched == positionBar && event->type() == QEvent::MouseButtonPress) {
        p.guarded([&p] { p.seq.onPositionBarPress(); });
    }
    return QWidget::eventFilter(watched, event);
}

void MainWindow::closeEvent(QCloseEvent* event) {
    if (finishing_) {
        closeWanted_ = true;
        event->ignore();
        return;
    }
    if (!closed_ && started_) {
        lifecycle_->shutDown();
        // The settings are written while the event loop still runs: once it has ended, a message box
        // returns at once, unseen, and a failed write would go unreported.
        lifecycle_->writeSettingsAtExit();
        settingsWritten_ = true;
    }
    closed_ = true;
    event->accept();
    // Qt ends the program when the last visible window closes; a window closed while hidden in the
    // notification area has to end it itself.
    if (!isVisible()) QMetaObject::invokeMethod(qApp, &QCoreApplication::quit, Qt::QueuedConnection);
}

void MainWindow::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    QStyleOptionFrame frame;
    frame.initFrom(this);
    frame.rect = rect();
    frame.lineWidth = frameWidth;
    frame.state |= QStyle::State_Raised;
    style()->drawPrimitive(QStyle::PE_Frame, &frame, &painter, this);
    // What can wait for the window runs once it has been painted, after this paint reaches the screen.
    if (started_ && !finishQueued_) {
        finishQueued_ = true;
        QMetaObject::invokeMethod(this, &MainWindow::finishStart, Qt::QueuedConnection);
    }
}

void MainWindow::moveTo(int left, int top) {
    if (positionKnown()) move(left, top);
}

QPoint MainWindow::position() const {
    return pos();
}

bool MainWindow::positionKnown() const {
    return !runsOnWayland();
}

int MainWindow::width() const {
    return client->width();
}

bool MainWindow::isShown() const {
    return isVisible();
}

void MainWindow::showWindow() {
    show();
}

void MainWindow::hideWindow() {
    hide();
}

void MainWindow::minimizeWindow() {
    showMinimized();
    // Qt forgets it there: the compositor never reports the state back.
    minimizedOnWayland_ = runsOnWayland();
}

void MainWindow::raiseAndActivate() {
    if (minimizedOnWayland_) {
        // A Wayland client cannot take its window out of the minimised state; mapped anew, it shows.
        minimizedOnWayland_ = false;
        hide();
    }
    if (isMinimized()) showNormal();
    show();
    raise();
    activateWindow();
}

void MainWindow::closeWindow() {
    close();
}

void MainWindow::focus(FocusTarget target) {
    switch (target) {
    case FocusTarget::SongList:
        songListView->setFocus();
        break;
    case FocusTarget::FileList:
        fileList->setFocus();
        break;
    case FocusTarget::FolderTree:
        folderTree->setFocus();
        break;
    case FocusTarget::NoButton:
        if (noButton) noButton->setFocus();
        break;
    }
}

void MainWindow::setBusy(bool busy) {
    if (busy)
        QApplication::setOverrideCursor(Qt::WaitCursor);
    else
        QApplication::restoreOverrideCursor();
}

int MainWindow::textWidth(const QString& text) const {
    return QFontMetrics(font()).horizontalAdvance(displayText(text));
}

int MainWindow::songListTopIndex() const {
    const QModelIndex top = songListView->indexAt(QPoint(1, 1));
    return top.isValid() ? top.row() : 0;
}

void MainWindow::yieldToEvents() {
    ::yieldToEvents();
}

QList<QRect> MainWindow::screenAreas() const {
    QList<QRect> areas;
    const QScreen* primary = QGuiApplication::primaryScreen();
    if (primary) areas << primary->availableGeometry();
    for (const QScreen* other : QGuiApplication::screens())
        if (other != primary) areas << other->availableGeometry();
    return areas;
}
