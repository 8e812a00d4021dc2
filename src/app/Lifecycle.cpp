#include "app/Lifecycle.h"

#include "radio/DefaultStations.h"

#include "app/Player.h"
#include "app/ProgramFolder.h"
#include "app/Version.h"
#include "app/WindowPlacement.h"
#include "audio/AudioEngine.h"
#include "platform/ByteText.h"
#include "platform/Dialogs.h"
#include "platform/FileSystem.h"
#include "platform/InstanceChannel.h"
#include "platform/Window.h"
#include "radio/StationFile.h"

#include <QFileInfo>
#include <cfenv>
#include <cstdio>

QString upperExtension(const QString& path) {
    const QString name = QFileInfo(path).fileName();
    const qsizetype dot = name.lastIndexOf(u'.');
    return dot < 0 ? QString() : name.mid(dot).toUpper();
}

bool handsOverToRunningInstance(const QString& extension) {
    return !extension.isEmpty() && QStringLiteral(".MP3.M3U.PLS.XPL").contains(extension);
}

QString absoluteArgument(const QString& argument) {
    // A second start may run in another folder than the first: a relative path is made absolute here.
    if (argument.isEmpty() || argument.contains(QStringLiteral("://"))) return argument;
    return QFileInfo(argument).isRelative() && pathExists(argument) ? absolutePath(argument) : argument;
}

bool takesArgumentIn(const QString& extension) {
    return !extension.isEmpty() && QStringLiteral(".MP3.PLS.M3U").contains(extension);
}

QList<QByteArray> handOverTexts(const QStringList& arguments) {
    if (arguments.isEmpty()) return {QByteArray()};
    QList<QByteArray> texts;
    for (const QString& argument : arguments)
        if (handsOverToRunningInstance(upperExtension(argument))) texts << textToBytes(argument);
    return texts;
}

namespace {
constexpr int rootReadWaitMs = 2000;
} // namespace

Lifecycle::Start Lifecycle::start(const QStringList& arguments, const QString& executableFolder) {
    // No floating-point operation may trap; ties round to even.
    std::feclearexcept(FE_ALL_EXCEPT);
    std::fesetround(FE_TONEAREST);

    p_.startup.endingEarly = false;
    p_.radio.levelFollower.levelWarmup = 0;
    p_.channel.titleStrip = QString();
    p_.channel.tip = QString();
    p_.startup.windowLeft = 50;
    p_.startup.windowTop = 50;

    p_.startup.commandArguments.clear();
    for (const QString& argument : arguments.mid(1))
        p_.startup.commandArguments << absoluteArgument(argument);
    p_.startup.commandArgument = p_.startup.commandArguments.value(0);
    p_.startup.argumentExtension = upperExtension(p_.startup.commandArgument);

    // Before anything slow: a second start must find this instance at once.
    if (findRunningInstance()) handOverToRunningInstance();
    if (handOverFailed_) return Start::HandOverFailed;
    if (p_.startup.endingEarly) return Start::EndProcess;

    p_.channel.playMode = PlayMode::Idle;
    p_.radio.radioMode = false;

    AudioEngine& audioEngine = p_.audioEngine();
    if ((audioEngine.version() >> 16) != kEngineInterfaceVersion) {
        p_.dialogs().message(QStringLiteral("An incorrect version of BASS.DLL was loaded"),
                             MessageIcon::Error);
        p_.startup.endingEarly = true;
        return Start::EndProcess;
    }
    // The engine's gain before its output opens is the one it starts with.
    const int volume = audioEngine.gain();
    p_.volume.initialVolume = volume < 0 ? 100 : volume;
    p_.volume.volumeSetting = p_.volume.initialVolume;
    p_.volume.volumeBar.setPosition(p_.volume.initialVolume);

    p_.startup.versionLabel = QStringLiteral("MP3  ZX V") + versionString();
    p_.startup.programFolder = findProgramFolder(executableFolder);
    p_.playlists.playlistFolder = p_.startup.programFolder;
    p_.startup.windowTitle = QStringLiteral("RI3-VEZEZI");

    // From here on a failing step is shown and start-up goes on with the next one, so a bad settings
    // file cannot cost the command-line file, the drop target or the window position. The settings'
    // values are what the first picture shows; their folder waits for finishStart.
    p_.guarded([&] { p_.settings.readSettings(); });
    p_.guarded([&] {
        IWindow& window = p_.window();
        // Where the compositor places the window the saved place is only kept, for the next X11 run.
        if (!window.positionKnown()) return;
        const QPoint place = reachablePosition({p_.startup.windowLeft, p_.startup.windowTop}, windowOuterSize,
                                               window.screenAreas());
        window.moveTo(place.x(), place.y());
    });
    return Start::Run;
}

void Lifecycle::finishStart() {
    if (finished_ || p_.startup.endingEarly) return;
    finished_ = true;
    // The command-line song plays first, so the output comes first. It opens only now: loading the sound
    // server's client libraries keeps a core busy for milliseconds, which the first picture does not wait
    // for.
    if (!p_.audioEngine().openOutput(-1, 44100))
        p_.dialogs().message(QStringLiteral("Error initializing audio"), MessageIcon::Error);

    p_.guarded([&] {
        writeDefaultStationsIfMissing(stationFilePath(p_.startup.programFolder));
        readStations(stationFilePath(p_.startup.programFolder), p_.radio.stations);
        p_.radio.stations.setSelected(p_.startup.stationRow);
    });
    FolderTree& tree = p_.browser.tree();
    tree.startReading();
    p_.browser.memory.reset(tree.topNode());
    tree.setPath(QStringLiteral("/"));
    // With the top folders read, opening the saved folder scrolls the tree as it was left, and the
    // walk to the saved top node starts near it rather than at "/".
    tree.waitForLoad(tree.selectedNode(), rootReadWaitMs);
    p_.guarded([&] { p_.settings.restoreFolderTree(); });
    p_.browser.memory.lastTreeLevel = nodeLevel(tree.topNode());
    takeArgumentsIn();
    p_.guarded([&] {
        p_.browser.chooseSortByDate();
        p_.browser.chooseSortByName();
    });
    // What second starts handed over meanwhile waited for this moment; it goes through the intake once
    // the window is in front. An empty text only brings the window to the front.
    channel_.setReceiver([&player = p_](const QByteArray& text) {
        player.window().raiseAndActivate();
        if (!text.isEmpty()) player.guarded([&] { player.intake.setText(bytesToText(text)); });
    });
    registerHotKeys();
    p_.mute.setMasterMute(false);
}

void Lifecycle::takeArgumentsIn() {
    bool takenIn = false;
    for (const QString& argument : std::as_const(p_.startup.commandArguments)) {
        if (!takesArgumentIn(upperExtension(argument))) continue;
        takenIn = true;
        p_.guarded([&] { p_.intake.setText(argument); });
    }
    if (!takenIn && p_.startup.startInRadio) p_.guarded([&] { p_.radio.toggleRadioMode(); });
}

bool Lifecycle::findRunningInstance() {
    // Of all processes starting at once exactly one claims the instance; it becomes findable here.
    if (channel_.listen()) return false;
    p_.startup.endingEarly = true;
    return !handOverTexts(p_.startup.commandArguments).isEmpty();
}

void Lifecycle::handOverToRunningInstance() {
    switch (channel_.handOver(handOverTexts(p_.startup.commandArguments))) {
    case InstanceChannel::HandOver::Delivered:
        return;
    case InstanceChannel::HandOver::Claimed:
        // The running instance closed meanwhile; this process takes its place.
        p_.startup.endingEarly = false;
        return;
    case InstanceChannel::HandOver::Failed:
        handOverFailed_ = true;
        std::fprintf(stderr, "mp3zx: the running player did not take the files in\n");
        return;
    }
}

void Lifecycle::shutDown() {
    p_.guarded([&] { p_.mute.applyMute(false); });
    p_.seq.trackTimer.stop();
    p_.radio.watchdogTimer.stop();
    // A station still connecting is dropped; closeOutput below ends its open.
    p_.radio.cancelStart();
    // A play-key press still waiting for its tick would otherwise start playback again while closing.
    p_.hotKeyHandler.doublePressTimer.stop();
    AudioEngine& audioEngine = p_.audioEngine();
    audioEngine.stop(p_.channel.fileStream);
    audioEngine.stop(p_.radio.radioChannel);
    audioEngine.setGain(p_.volume.initialVolume);
    audioEngine.stopOutput();
    audioEngine.closeOutput();
    releaseHotKeys();
    // What a second start hands over from now on goes to the next instance.
    channel_.setReceiver({});
}

void Lifecycle::writeSettingsAtExit() {
    // Before the start finished, the folder tree and the station were not restored yet: the file keeps
    // what the last run wrote.
    if (p_.startup.endingEarly || !finished_) return;
    p_.guarded([this] { p_.settings.writeSettings(); });
}

void Lifecycle::registerHotKeys() {
    p_.hotKeyHandler.registerHotKeys();
}

void Lifecycle::releaseHotKeys() {
    p_.hotKeyHandler.releaseHotKeys();
}
