#include "support/XdoTool.h"

XdoTool::XdoTool(const QProcessEnvironment& display)
    : path_(findTool(QStringLiteral("xdotool"))), display_(display) {}

ToolResult XdoTool::run(const QStringList& args, std::chrono::milliseconds timeout) const {
    if (path_.isEmpty()) return {};
    return runTool(path_, args, display_, timeout);
}

bool XdoTool::key(const QString& name) const {
    return run({QStringLiteral("key"), name}).exitCode == 0;
}

bool XdoTool::click(QPoint at, int button) const {
    return run({QStringLiteral("mousemove"), QString::number(at.x()), QString::number(at.y()),
                QStringLiteral("click"), QString::number(button)})
               .exitCode == 0;
}

bool XdoTool::hasWindow(const QString& namePattern) const {
    return run({QStringLiteral("search"), QStringLiteral("--onlyvisible"), QStringLiteral("--name"),
                namePattern},
               std::chrono::seconds(5))
               .exitCode == 0;
}

QString XdoTool::focusedWindowName() const {
    return QString::fromLocal8Bit(
               run({QStringLiteral("getwindowfocus"), QStringLiteral("getwindowname")}).out)
        .trimmed();
}
