#pragma once
// Start-up, the single-instance rule and shutdown of the player.

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

class Player;
class InstanceChannel;

// The extension of a path with its dot, upper-cased; empty when the file name has no dot.
QString upperExtension(const QString& path);
// Whether a second start hands its argument over (".MP3.M3U.PLS.XPL"; empty never matches).
bool handsOverToRunningInstance(const QString& extension);
// A relative path that exists is made absolute; anything else stays as given.
QString absoluteArgument(const QString& argument);
// Whether the first instance takes its argument in (".MP3.PLS.M3U"; empty never matches).
bool takesArgumentIn(const QString& extension);
// What a second start hands to the running instance, in order: each argument it may take in. Without
// any argument one empty text, which only brings the running window to the front.
QList<QByteArray> handOverTexts(const QStringList& arguments);

class Lifecycle {
public:
    Lifecycle(Player& player, InstanceChannel& channel) : p_(player), channel_(channel) {}

    enum class Start { Run, EndProcess, HandOverFailed };

    // The start-up sequence up to the window's first picture: the instance channel, the engine's
    // version, the settings' values and the window's place. EndProcess when another instance runs or
    // the audio library is unusable; the window is then not shown and the settings are neither read nor
    // written. HandOverFailed: the running instance did not take the arguments in.
    Start start(const QStringList& arguments, const QString& executableFolder);
    // The rest of the start, right after the window's first paint, in the order its results are
    // needed: the audio output, the station list, the folder tree, the command-line files (which play
    // first), then hand-overs from second starts, the hot keys and the mixer. Runs once, after a start
    // that returned Run.
    void finishStart();
    bool startFinished() const { return finished_; }

    // True when a running instance was found and the argument is to be handed over; endingEarly is set
    // whenever an instance was found.
    bool findRunningInstance();
    // Hands the arguments to the running instance. Should that instance end meanwhile, this process
    // becomes the instance and its start goes on.
    void handOverToRunningInstance();

    // The shutdown sequence; the window may close.
    void shutDown();
    // Writes the settings unless the process ended early.
    void writeSettingsAtExit();

private:
    void registerHotKeys();
    void releaseHotKeys();
    void takeArgumentsIn();

    Player& p_;
    InstanceChannel& channel_;
    bool handOverFailed_ = false;
    bool finished_ = false;
};
