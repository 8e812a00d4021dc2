#include "ui/TForm1.h"

#include "ui/EventHook.h"
#include "platform/ByteText.h"
#include "ui/FileList.h"
#include "ui/Pictures.h"
#include "ui/ScreenPlace.h"
#include "ui/ShellTreeView.h"
#include "ui/SongListView.h"
#include "ui/StateBinding.h"
#include "ui/TSRCheckBox.h"
#include "ui/TTrackbar_32.h"
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
#include <algorithm>

namespace {

// The raised frame around the client area.
constexpr int frameWidth = 2;
const QColor skyBlue(0xA6, 0xCA, 0xF0);
// The system grey of the window's grey texts.
const QColor gray(0x80, 0x80, 0x80);
constexpr int titleBitrateGap = 6;

template <class W> W* place(W* widget, int left, int top, int width, int height) {
    widget->setGeometry(left, top, width, height);
    return widget;
}

QLabel* label(QWidget* parent, const QString& text) {
    auto* l = new QLabel(text, parent);
    l->setTextFormat(Qt::PlainText);
    return l;
}

QPushButton* button(QWidget* parent, const QString& text, int left, int top, int width = 75,
                    int height = 25) {
    return place(new QPushButton(text, parent), left, top, width, height);
}

} // namespace

TForm1::TForm1(PlatformServices services, InstanceChannel& channel, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint) {
    player_ = std::make_unique<Player>(
        Services{services.bass, services.mixer, services.hotKeys, services.dialogs, *this});
    lifecycle_ = std::make_unique<Lifecycle>(*player_, channel);

    QFont windowFont = font();
    windowFont.setPixelSize(11);
    setFont(windowFont);
    setFixedSize(840 + 2 * frameWidth, 220 + 2 * frameWidth);
    setWindowIcon(programIcon());

    client = new QWidget(this);
    client->setGeometry(frameWidth, frameWidth, 840, 220);
    client->setAutoFillBackground(true);
    QPalette buttonFace = client->palette();
    buttonFace.setColor(QPalette::Window, buttonFace.color(QPalette::Button));
    client->setPalette(buttonFace);

    createControls();
    createPanels();
    bindState();
    bindEvents();
    bindBrowser();
    bindPlaylist();
    bindRadio();
    bindKeys();
    bindShell();
    bindHint();
}

TForm1::~TForm1() {
    delete keyPreview_;
    // Closing may not have run (a process that ends during start-up); the settings are written only
    // after a start that got that far, and only once.
    if (started_ && !settingsWritten_) lifecycle_->FormDestroy();
    // The controls outlive this body and the player; one that loses the focus while it is deleted still
    // signals (the file list's focus mark), and nothing of the window may answer then.
    for (QObject* child : findChildren<QObject*>())
        disconnect(child, nullptr, this, nullptr);
    // The hooks call into the player, which goes before the controls do: a control hidden while it
    // is deleted would reach it.
    qDeleteAll(findChildren<EventHook*>());
}

Lifecycle::Start TForm1::start(const QStringList& arguments, const QString& executableFolder) {
    const Lifecycle::Start result = lifecycle_->FormCreate(arguments, executableFolder);
    started_ = result == Lifecycle::Start::Run;
    return result;
}

void TForm1::createControls() {
    QFont bold = font();
    bold.setBold(true);

    verL = place(label(client, QString()), 48, 0, 105, 20);
    SongL = place(label(client, QString()), 152, 0, 641, 20);
    SongL->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    // Room between the title's end and the bitrate beside it, however long the title.
    SongL->setIndent(titleBitrateGap);
    for (QLabel* strip : {verL, SongL}) {
        strip->setFont(bold);
        strip->setAutoFillBackground(true);
        QPalette p = strip->palette();
        p.setColor(QPalette::Window, skyBlue);
        strip->setPalette(p);
    }
    verL->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    bitrateL = place(label(client, QStringLiteral(" - ")), 792, 0, 25, 20);
    bitrateL->setAlignment(Qt::AlignCenter);
    exitB = button(client, QStringLiteral("X"), 821, 0, 20, 20);
    exitB->setFont(bold);

    sortL = place(label(client, QStringLiteral("sortiert nach:")), 388, 20, 72, 13);
    sortNameL = place(label(client, QStringLiteral("Name")), 464, 20, 36, 13);
    sortDateL = place(label(client, QStringLiteral("Datum")), 504, 20, 40, 13);

    rueckB = button(client, QString(), 8, 40, 36, 25);
    rueckB->setIcon(previousPicture());
    PlayB = button(client, QString(), 48, 40, 52, 25);
    PlayB->setIcon(startPicture());
    vorB = button(client, QString(), 104, 40, 40, 25);
    vorB->setIcon(nextPicture());
    for (QPushButton* b : {rueckB, PlayB, vorB})
        b->setIconSize(QSize(16, 16));

    posTB = makePosTB(client);
    lautanpassenCB = makeLautanpassenCB(client);
    // The caption needs two lines at this font size.
    lautanpassenCB->setWordWrap(true);
    volumeTB = makeVolumeTB(client);

    ShellTreeView1 = place(new ShellTreeView(client), 160, 32, 220, 150);
    FileList1 = place(new TFileList(client, &player_->s.FileList1), 384, 32, 217, 150);
    FileList1->setColumnWidth(0, 300);
    songLB = place(new SongListView(client), 608, 32, 225, 150);
    radiosenderLB = place(new QListView(client), 608, 32, 225, 150);
    radiosenderLB->hide();

    playlisteB = button(client, QStringLiteral("Playliste"), 176, 192);
    alleB = button(client, QStringLiteral("alle"), 384, 192);
    TaskbarL = place(label(client, QStringLiteral(" T a s k b a r")), 464, 184, 154, 32);
    QFont arial(QStringLiteral("Arial"));
    arial.setPixelSize(27);
    TaskbarL->setFont(arial);
    QPalette grey = TaskbarL->palette();
    grey.setColor(QPalette::WindowText, gray);
    TaskbarL->setPalette(grey);
    leerenB = button(client, QStringLiteral("leeren"), 640, 192);
    dasRadioB = button(client, QStringLiteral("Radio"), 760, 192);

    Hilfsanzeige = label(this, QString());
    Hilfsanzeige->setWindowFlags(Qt::ToolTip | Qt::FramelessWindowHint | Qt::WindowTransparentForInput);
    Hilfsanzeige->setFont(font());
    // A one-pixel frame and three pixels of margin on either side: hintPadding in all.
    Hilfsanzeige->setFrameStyle(QFrame::Box | QFrame::Plain);
    Hilfsanzeige->setLineWidth(1);
    Hilfsanzeige->setContentsMargins(3, 0, 3, 0);
    Hilfsanzeige->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    Hilfsanzeige->setAutoFillBackground(true);
    QPalette yellow = Hilfsanzeige->palette();
    yellow.setColor(QPalette::Window, Qt::yellow);
    yellow.setColor(QPalette::WindowText, Qt::black);
    Hilfsanzeige->setPalette(yellow);
    Hilfsanzeige->hide();
}

void TForm1::createPanels() {
    // The station list editor covers the file list and the station list.
    radioPanel = place(new QFrame(client), 384, 32, 449, 158);
    radioPanel->setFrameStyle(QFrame::Panel | QFrame::Raised);
    radioPanel->setAutoFillBackground(true);
    radioRE = place(new QPlainTextEdit(radioPanel), 2, 2, 340, 154);
    radioRE->setLineWrapMode(QPlainTextEdit::NoWrap);
    radioRE->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    radiolistesaveB = button(radioPanel, QStringLiteral("speichern"), 348, 4, 96);
    radiolisteexitB = button(radioPanel, QStringLiteral("exit"), 348, 32, 96);
    radiolisteladenB = button(radioPanel, QStringLiteral("update vom Server "), 348, 72, 96);
    anhaengenRB = place(new QRadioButton(QStringLiteral("anhängen"), radioPanel), 348, 100, 96, 20);
    ueberschrRB = place(new QRadioButton(QStringLiteral("überschreiben"), radioPanel), 348, 122, 96, 20);
    anhaengenRB->setChecked(true);
    // The column of buttons is as wide as its widest caption needs in the window's font; the text
    // takes the rest of the panel.
    int column = 96;
    const QList<QWidget*> controls{radiolistesaveB, radiolisteexitB, radiolisteladenB, anhaengenRB,
                                   ueberschrRB};
    for (QWidget* control : controls)
        column = std::max(column, control->sizeHint().width());
    const int columnLeft = radioPanel->width() - 5 - column;
    radioRE->resize(columnLeft - 8, radioRE->height());
    for (QWidget* control : controls)
        control->setGeometry(columnLeft, control->y(), column, control->height());
    radioPanel->hide();

    // The playlist entries panel lies over the folder tree.
    senderP = place(new QFrame(client), 160, 32, 220, 158);
    senderP->setFrameStyle(QFrame::Panel | QFrame::Raised);
    senderP->setAutoFillBackground(true);
    sendertitelLB = place(new QListView(senderP), 2, 2, 216, 124);
    senderlisteexitB = button(senderP, QStringLiteral("exit"), 4, 130, 60);
    senderspeichernB = button(senderP, QStringLiteral("Sender hinzufügen"), 70, 130, 144);
    senderP->hide();

    // The delete confirmation lies over the file list.
    loeschP = place(new QFrame(client), 416, 40, 185, 89);
    loeschP->setFrameStyle(QFrame::Panel | QFrame::Raised);
    loeschP->setAutoFillBackground(true);
    loeschL1 = place(label(loeschP, QStringLiteral("Datei:")), 8, 4, 170, 14);
    loeschL = place(label(loeschP, QStringLiteral("X")), 8, 20, 170, 14);
    QPalette red = loeschL->palette();
    red.setColor(QPalette::WindowText, Qt::red);
    loeschL->setPalette(red);
    loeschL2 = place(label(loeschP, QStringLiteral("löschen?")), 8, 36, 170, 14);
    jaB = button(loeschP, QStringLiteral("ja"), 8, 56, 75);
    neinB = button(loeschP, QStringLiteral("nein"), 100, 56, 75);
    loeschP->hide();
}

void TForm1::bindState() {
    PlayerState& s = player_->s;
    DisplayState& d = s.display;
    bindText(d.verL, verL);
    bindText(d.SongL, SongL);
    bindText(d.bitrateL, bitrateL);
    bindText(d.dasRadioB, dasRadioB);
    bindText(d.leerenB, leerenB);
    bindText(d.loeschL, loeschL);
    bindVisible(d.radiosenderLBVisible, radiosenderLB);
    bindVisible(d.radioPanelVisible, radioPanel);
    bindVisible(d.senderPVisible, senderP);
    bindVisible(d.loeschPVisible, loeschP);
    d.PlayB.onChange([this](PlayPicture picture) {
        PlayB->setIcon(picture == PlayPicture::START ? startPicture() : stopPicture());
    });
    d.sortByDate.onChange([this](bool byDate) {
        // The darker label shows the active sort.
        const QColor medGray(0xA0, 0xA0, 0xA4);
        for (auto [label, active] : {std::pair{sortNameL, !byDate}, {sortDateL, byDate}}) {
            QPalette p = label->palette();
            p.setColor(QPalette::WindowText, active ? gray : medGray);
            label->setPalette(p);
        }
    });
    d.windowTitle.onChange([this](const QString& title) { setWindowTitle(title); });
    d.Hilfsanzeige.onChange([this](const HintBox& hint) { showHint(hint); });
    bindLines(d.radioRE, radioRE);

    bindList(s.songs, songLB);
    bindList(s.stations, radiosenderLB);
    bindList(s.entries, sendertitelLB);
    bindRange(s.posTB, posTB);
    bindRange(s.volumeTB, volumeTB);
    bindCheck(s.lautanpassenCB, lautanpassenCB);
}

void TForm1::bindEvents() {
    Player& p = *player_;
    // Every handler runs guarded: an error ends the handler, is shown, and the program runs on.
    const auto on = [&p](QAbstractButton* b, std::function<void()> handler) {
        connect(b, &QAbstractButton::clicked, b, [&p, handler] { p.guarded(handler); });
    };
    connect(exitB, &QPushButton::clicked, this, &QWidget::close);
    on(PlayB, [&p] { p.seq.PlayBClick(); });
    on(vorB, [&p] { p.seq.vorBClick(); });
    on(rueckB, [&p] { p.seq.rueckBClick(); });
    on(alleB, [&p] { p.browser.alle_eintragen(true); });
    on(leerenB, [&p] { p.songList.leerenBClick(); });
    on(dasRadioB, [&p] { p.radio.dasRadioBClick(); });
    on(radiolistesaveB, [&p] { p.editor.radiolistesaveBClick(); });
    on(radiolisteexitB, [&p] { p.editor.radiolisteexitBClick(); });

    // The position bar pauses before the bar itself reacts to the press; it resumes after the release.
    posTB->installEventFilter(this);
    posTB->OnMouseUp = [&p](Qt::MouseButton, Qt::KeyboardModifiers, int, int) {
        p.guarded([&p] { p.seq.posTBMouseUp(); });
    };

    connect(songLB, &SongListView::mouseDown, this,
            [&p](int, int y) { p.guarded([&] { p.songList.songLBMouseDown(y); }); });
    connect(songLB, &SongListView::mouseMove, this,
            [&p](bool held, int x, int y) { p.guarded([&] { p.songList.songLBMouseMove(held, x, y); }); });
    connect(songLB, &SongListView::mouseUp, this,
            [&p](int x, int y) { p.guarded([&] { p.songList.songLBMouseUp(x, y); }); });
}

void TForm1::showHint(const HintBox& hint) {
    if (!hint.visible) {
        Hilfsanzeige->hide();
        return;
    }
    Hilfsanzeige->setText(displayText(hint.text));
    // Right-aligned with the window as asked, but never off the screen the window is on: a title wider
    // than the window reaches out to the left of it.
    const QRect area = screen()->availableGeometry();
    const QRect box(client->mapToGlobal(QPoint(hint.left, hint.top)),
                    QSize(std::min(hint.width, area.width()), 21));
    Hilfsanzeige->setGeometry(movedInside(box, area));
    Hilfsanzeige->show();
    Hilfsanzeige->raise();
}

// The hint belongs to the pointer over the song list: it goes when the pointer leaves the list, when
// the list is hidden or covered, and when the window is hidden.
void TForm1::bindHint() {
    Player& p = *player_;
    const auto hideOn = [&p](QWidget* widget, QEvent::Type type) {
        new EventHook(widget, [&p, type](QEvent* event) {
            if (event->type() == type) p.guarded([&p] { p.songList.hideHint(); });
            return false;
        });
    };
    hideOn(songLB->viewport(), QEvent::Leave);
    hideOn(songLB, QEvent::Hide);
    hideOn(radiosenderLB, QEvent::Show);
    hideOn(radioPanel, QEvent::Show);
    hideOn(this, QEvent::Hide);
}

void TForm1::bindBrowser() {
    Player& p = *player_;
    p.browser.attachTree(*ShellTreeView1);
    connect(ShellTreeView1, &ShellTreeView::change, this,
            [&p] { p.guarded([&p] { p.browser.ShellTreeView1Change(); }); });
    connect(ShellTreeView1, &ShellTreeView::click, this,
            [&p] { p.guarded([&p] { p.browser.ShellTreeView1Click(); }); });
    connect(ShellTreeView1, &ShellTreeView::keyDown, this,
            [&p](QKeyEvent* e) { p.guarded([&] { p.browser.ShellTreeView1KeyDown(e->key()); }); });
    connect(FileList1, &TFileList::click, this, [&p] { p.guarded([&p] { p.browser.FileList1Click(); }); });
    connect(FileList1, &TFileList::keyDown, this, [&p](QKeyEvent* e) {
        p.guarded([&] {
            if (p.browser.FileList1KeyDown(e->key())) e->accept();
        });
    });
    connect(FileList1, &TFileList::focusEntered, this, &TForm1::FileList1Enter);
    connect(FileList1, &TFileList::focusLeft, this, &TForm1::FileList1Exit);
    for (QLabel* l : {sortNameL, sortDateL})
        l->installEventFilter(this);
    player_->s.display.sortByDate.set(true);
    player_->s.display.sortByDate.set(false);
}

// Focus marks: a blue frame around the tree's selected folder while the file list has the focus, and
// around the selected file when it leaves.
void TForm1::FileList1Enter() {
    // The frame is painted with the tree, so nothing needs the event loop here: running it inside the
    // focus change would deliver a fast click's release before its press had selected the row.
    ShellTreeView1->drawFocusFrame(ShellTreeView1->nodeTextRect(ShellTreeView1->selectedNode()), Qt::blue);
}

void TForm1::FileList1Exit() {
    const int selected = player_->s.FileList1.selectedIndex();
    if (selected < 0) return;
    FileList1->drawFocusFrame(FileList1->entryRect(selected).adjusted(0, -1, 0, 1), Qt::blue);
}

bool TForm1::eventFilter(QObject* watched, QEvent* event) {
    Player& p = *player_;
    if (event->type() == QEvent::KeyPress && controlKeyDown(watched, static_cast<QKeyEvent*>(event)))
        return true;
    if (event->type() == QEvent::MouseButtonRelease && (watched == sortNameL || watched == sortDateL)) {
        p.guarded([&] {
            if (watched == sortNameL)
                p.browser.sortNameLClick();
            else
                p.browser.sortDateLClick();
        });
        return true;
    }
    if (watched == posTB && event->type() == QEvent::MouseButtonPress) {
        p.guarded([&p] { p.seq.posTBMouseDown(); });
    }
    return QWidget::eventFilter(watched, event);
}

void TForm1::closeEvent(QCloseEvent* event) {
    if (!closed_ && started_) {
        lifecycle_->FormCloseQuery();
        // The settings are written while the event loop still runs: once it has ended, a message box
        // returns at once, unseen, and a failed write would go unreported.
        lifecycle_->FormDestroy();
        settingsWritten_ = true;
    }
    closed_ = true;
    event->accept();
    // Qt ends the program when the last visible window closes; a window closed while hidden in the
    // notification area has to end it itself.
    if (!isVisible()) QMetaObject::invokeMethod(qApp, &QCoreApplication::quit, Qt::QueuedConnection);
}

void TForm1::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    QStyleOptionFrame frame;
    frame.initFrom(this);
    frame.rect = rect();
    frame.lineWidth = frameWidth;
    frame.state |= QStyle::State_Raised;
    style()->drawPrimitive(QStyle::PE_Frame, &frame, &painter, this);
}

void TForm1::moveTo(int left, int top) {
    move(left, top);
}

QPoint TForm1::position() const {
    return pos();
}

int TForm1::width() const {
    return client->width();
}

bool TForm1::isShown() const {
    return isVisible();
}

void TForm1::showWindow() {
    show();
}

void TForm1::hideWindow() {
    hide();
}

void TForm1::minimizeWindow() {
    showMinimized();
}

void TForm1::raiseAndActivate() {
    if (isMinimized()) showNormal();
    show();
    raise();
    activateWindow();
}

void TForm1::closeWindow() {
    close();
}

void TForm1::focus(FocusTarget target) {
    switch (target) {
    case FocusTarget::SongList:
        songLB->setFocus();
        break;
    case FocusTarget::FileList:
        FileList1->setFocus();
        break;
    case FocusTarget::FolderTree:
        ShellTreeView1->setFocus();
        break;
    case FocusTarget::NeinButton:
        neinB->setFocus();
        break;
    }
}

void TForm1::setBusy(bool busy) {
    if (busy)
        QApplication::setOverrideCursor(Qt::WaitCursor);
    else
        QApplication::restoreOverrideCursor();
}

int TForm1::textWidth(const QString& text) const {
    return QFontMetrics(font()).horizontalAdvance(displayText(text));
}

int TForm1::songListTopIndex() const {
    const QModelIndex top = songLB->indexAt(QPoint(1, 1));
    return top.isValid() ? top.row() : 0;
}

void TForm1::processEvents() {
    QCoreApplication::processEvents();
}

QList<QRect> TForm1::screenAreas() const {
    QList<QRect> areas;
    const QScreen* primary = QGuiApplication::primaryScreen();
    if (primary) areas << primary->availableGeometry();
    for (const QScreen* other : QGuiApplication::screens())
        if (other != primary) areas << other->availableGeometry();
    return areas;
}
