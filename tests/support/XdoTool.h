#pragma once
// xdotool on one X server: keys and clicks go through XTEST, as a user's would, and windows are found
// by their names. Every call is bounded in time.

#include "support/PeerProcess.h"

#include <QPoint>
#include <chrono>

class XdoTool {
public:
    explicit XdoTool(const QProcessEnvironment& display);
    // False when xdotool is not installed.
    bool available() const { return !path_.isEmpty(); }

    ToolResult run(const QStringList& args,
                   std::chrono::milliseconds timeout = std::chrono::seconds(10)) const;
    bool key(const QString& name) const;
    // Moves the pointer there and clicks (press and release together).
    bool click(QPoint at, int button = 1) const;
    // Whether a visible window's name matches the regular expression.
    bool hasWindow(const QString& namePattern) const;
    QString focusedWindowName() const;

private:
    QString path_;
    QProcessEnvironment display_;
};
