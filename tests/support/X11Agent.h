#pragma once
// X clients for tests that run on Qt's offscreen platform: the test executable started again on the
// xcb platform as an agent. An environment variable makes the child register one extra test, the
// agent, which ordinary runs do not list; the agent takes commands on standard input, one per line,
// and answers on standard output.

#include "support/PeerProcess.h"

#include <QString>
#include <QStringList>
#include <functional>
#include <xcb/xcb.h>

// ---- in the agent ----

// Registers the test "<suite>.Run" with the given body, in a process whose environment has variable.
bool registerX11Agent(const char* variable, const char* suite, std::function<void()> body);
// One line to the test side.
void agentReply(const QString& line);
// Takes command lines until execute returns false, standard input closes, or two minutes have passed
// (an agent never outlives a lost test).
void runAgentCommands(const std::function<bool(const QStringList& words)>& execute);
xcb_connection_t* agentConnection();
// Pause, Print and Scroll_Lock by name; 0 for other names.
xcb_keysym_t keysymNamed(const QString& name);
// Grabs the key on every keycode it has, without modifiers and in every lock combination (or with
// only the given mask), as any X client may; answers "held/tried". Grabs that succeed stay.
QString grabKey(xcb_keysym_t keysym, int onlyMask = -1);

// ---- in the test ----

class X11AgentProcess {
public:
    X11AgentProcess(const QProcessEnvironment& display, const char* variable, const char* suite);
    ~X11AgentProcess() { peer_.stop(); }
    bool started() const { return started_; }

    // Sends a command; the first line that starts with answerPrefix, or an empty text.
    QString ask(const QString& command, const QString& answerPrefix);
    // The next line that starts with prefix, or an empty text after the time-out.
    QString next(const QString& prefix);
    bool waitForLine(const QString& line);
    // Whether the line has come (and not been taken yet).
    bool hasLine(const QString& line);
    // Ends the agent through its "quit" command; its exit code (-1 when it crashed or hung).
    int quit(QByteArray* errors = nullptr);

private:
    void collect();
    bool take(const std::function<bool(const QString&)>& match, QString& found);

    PeerProcess peer_;
    QStringList lines_;
    bool started_ = false;
};
