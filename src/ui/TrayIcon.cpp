#include "ui/TrayIcon.h"

#include <QCursor>
#include <QTextDocument>

namespace {

constexpr int tipCharacters = 63;

} // namespace

QString taskBarTip(const QString& text) {
    qsizetype end = 0;
    for (int characters = 0; end < text.size() && characters < tipCharacters; ++characters) {
        if (text[end].isNull()) break;
        const bool pair =
            text[end].isHighSurrogate() && end + 1 < text.size() && text[end + 1].isLowSurrogate();
        end += pair ? 2 : 1;
    }
    return text.left(end);
}

QString toolTipText(const QString& tip) {
    // Qt shows plain text on one line. A text it would take for markup is escaped instead, and kept
    // on one line: Qt wraps rich tool tips into a narrow box.
    if (!Qt::mightBeRichText(tip)) return tip;
    return QStringLiteral("<p style='white-space:pre'>%1</p>").arg(tip.toHtmlEscaped());
}

TrayIcon::TrayIcon(QObject* owner) : QObject(owner) {}

TrayIcon::~TrayIcon() {
    setVisible(false);
}

bool TrayIcon::areaAvailable() const {
    return QSystemTrayIcon::isSystemTrayAvailable();
}

void TrayIcon::setVisible(bool visible) {
    if (visible == visible_) return;
    if (!visible) {
        if (tray_) tray_->hide();
        visible_ = false;
        return;
    }
    // Qt would show nothing without an image or a notification area; the icon stays invisible then.
    if (icon_.isNull() || !areaAvailable()) return;
    if (!tray_) {
        tray_ = std::make_unique<QSystemTrayIcon>(icon_);
        tray_->setToolTip(toolTipText(tip_));
        connect(tray_.get(), &QSystemTrayIcon::activated, this, &TrayIcon::activated);
    }
    tray_->show();
    visible_ = true;
}

void TrayIcon::setIcon(const QIcon& icon) {
    icon_ = icon;
    if (tray_) tray_->setIcon(icon);
}

void TrayIcon::setTip(const QString& text) {
    tip_ = taskBarTip(text);
    if (tray_) tray_->setToolTip(toolTipText(tip_));
}

QString TrayIcon::toolTip() const {
    return tray_ ? tray_->toolTip() : toolTipText(tip_);
}

QRect TrayIcon::geometry() const {
    return tray_ ? tray_->geometry() : QRect();
}

void TrayIcon::activated(QSystemTrayIcon::ActivationReason reason) {
    const QPoint at = QCursor::pos();
    const Qt::KeyboardModifiers none;
    switch (reason) {
    case QSystemTrayIcon::Trigger:
        emit pressed(Qt::LeftButton, none, at.x(), at.y());
        break;
    case QSystemTrayIcon::Context:
        emit pressed(Qt::RightButton, none, at.x(), at.y());
        break;
    case QSystemTrayIcon::MiddleClick:
        emit pressed(Qt::MiddleButton, none, at.x(), at.y());
        break;
    case QSystemTrayIcon::DoubleClick:
        emit doubleClicked(Qt::LeftButton, none, at.x(), at.y());
        break;
    case QSystemTrayIcon::Unknown:
        break;
    }
}
