#include "ui/QtDialogs.h"

#include "ui/EventHook.h"
#include "ui/ScreenPlace.h"

#include "platform/ByteText.h"
#include <QAbstractButton>

#include <QApplication>
#include <QComboBox>
#include <QCursor>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QScreen>
#include <QTimer>

namespace {

void prepare(QMessageBox& box, const QString& text) {
    box.setWindowTitle(QApplication::applicationName());
    box.setTextFormat(Qt::PlainText);
    // Paths and titles in a message may hold bytes that are not UTF-8.
    box.setText(displayText(text));
    // While the window is hidden in the notification area a box is the last window; closing it must
    // not end the program.
    box.setAttribute(Qt::WA_QuitOnClose, false);
    // The window speaks German; Qt's own button texts are English.
    const std::pair<QMessageBox::StandardButton, const char*> captions[] = {
        {QMessageBox::Ok, "OK"},
        {QMessageBox::Yes, "Ja"},
        {QMessageBox::No, "Nein"},
        {QMessageBox::Cancel, "Abbrechen"}};
    for (const auto& [which, caption] : captions)
        if (QAbstractButton* button = box.button(which)) button->setText(QString::fromUtf8(caption));
}

// Moves a window, frame and all, as far into area as it fits.
void keepInside(QWidget& window, const QRect& area) {
    const QRect frame = window.frameGeometry();
    const QRect inside = movedInside(frame, area);
    if (inside != frame) window.move(window.pos() + inside.topLeft() - frame.topLeft());
}

// The screen that holds point, else the one under the pointer, else the primary one.
QScreen* screenFor(QPoint point) {
    if (QScreen* at = QGuiApplication::screenAt(point)) return at;
    if (QScreen* under = QGuiApplication::screenAt(QCursor::pos())) return under;
    return QGuiApplication::primaryScreen();
}

} // namespace

void QtDialogs::message(const QString& text, MessageIcon icon) {
    QMessageBox box(icon == MessageIcon::Error ? QMessageBox::Critical : QMessageBox::NoIcon, QString(),
                    QString(), QMessageBox::Ok);
    // The player's messages end their lines with CR, which Qt does not break at.
    QString lines = text;
    lines.replace(QStringLiteral("\r\n"), QStringLiteral("\n")).replace(u'\r', u'\n');
    prepare(box, lines);
    box.exec();
}

void QtDialogs::showError(const QString& text) {
    QMessageBox box(QMessageBox::Critical, QString(), QString(), QMessageBox::Ok, owner_);
    prepare(box, text);
    box.exec();
}

bool QtDialogs::askYesCancel(const QString& text, QPoint topLeft) {
    QMessageBox box(QMessageBox::NoIcon, QString(), QString(), QMessageBox::Yes | QMessageBox::Cancel);
    prepare(box, text);
    box.adjustSize();
    const QScreen* screen = screenFor(topLeft);
    const QRect area = screen ? screen->availableGeometry() : QRect();
    // A coordinate that comes out negative keeps the centred default.
    const QSize size = box.sizeHint();
    box.move(topLeft.x() >= 0 ? topLeft.x() : area.center().x() - size.width() / 2,
             topLeft.y() >= 0 ? topLeft.y() : area.center().y() - size.height() / 2);
    // Near the screen's right or bottom edge the box would be cut off: once shown, with its final size
    // and again once its frame is known, it is moved wholly onto the screen.
    new EventHook(&box, [&box, area](QEvent* event) {
        if (event->type() != QEvent::Show || area.isEmpty()) return false;
        keepInside(box, area);
        QTimer::singleShot(0, &box, [&box, area] { keepInside(box, area); });
        return false;
    });
    return box.exec() == QMessageBox::Yes;
}

std::optional<QString> QtDialogs::chooseFile(const FileDialogSpec& spec) {
    QFileDialog dialog(owner_);
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setOption(QFileDialog::DontConfirmOverwrite);
    dialog.setAcceptMode(spec.save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setNameFilters({QStringLiteral("m3u (*.m3u)"), QStringLiteral("alle (*)")});
    dialog.setDefaultSuffix(QStringLiteral("m3u"));
    dialog.setDirectory(spec.folder);
    if (!spec.fileName.isEmpty()) dialog.selectFile(spec.fileName);
    dialog.setLabelText(QFileDialog::LookIn, spec.lookInText);
    // Qt's look-in label has no buddy, so it would show the "&" of its text; with one the "&" marks
    // its accelerator, as on the other labels.
    auto* lookInLabel = dialog.findChild<QLabel*>(QStringLiteral("lookInLabel"));
    auto* lookInCombo = dialog.findChild<QComboBox*>(QStringLiteral("lookInCombo"));
    if (lookInLabel && lookInCombo) lookInLabel->setBuddy(lookInCombo);
    dialog.setLabelText(QFileDialog::FileName, spec.fileNameText);
    dialog.setLabelText(QFileDialog::FileType, spec.fileTypeText);
    dialog.setLabelText(QFileDialog::Reject, spec.cancelText);
    dialog.setLabelText(QFileDialog::Accept, spec.okText);
    // Qt puts its own "Open" on the accept button while the name field holds a folder; keep ours.
    const auto keepOkText = [&dialog, &spec] { dialog.setLabelText(QFileDialog::Accept, spec.okText); };
    QObject::connect(&dialog, &QFileDialog::currentChanged, &dialog, keepOkText);
    if (auto* nameField = dialog.findChild<QLineEdit*>())
        QObject::connect(nameField, &QLineEdit::textChanged, &dialog, keepOkText, Qt::QueuedConnection);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
    const QString chosen = dialog.selectedFiles().constFirst();
    QDir::setCurrent(QFileInfo(chosen).absolutePath());
    return chosen;
}

std::optional<QString> QtDialogs::askText(const QString& prompt, const QString& preset) {
    QInputDialog dialog(owner_);
    dialog.setWindowTitle(QApplication::applicationName());
    dialog.setLabelText(prompt);
    dialog.setTextValue(preset);
    dialog.setOkButtonText(QStringLiteral("OK"));
    dialog.setCancelButtonText(QStringLiteral("Abbrechen"));
    dialog.setAttribute(Qt::WA_QuitOnClose, false);
    // Wide enough to show a whole address.
    dialog.resize(480, dialog.sizeHint().height());
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    return dialog.textValue();
}
