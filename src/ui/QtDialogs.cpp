#include "ui/QtDialogs.h"

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QCursor>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QScreen>

namespace {

void prepare(QMessageBox& box, const QString& text) {
    box.setWindowTitle(QApplication::applicationName());
    box.setTextFormat(Qt::PlainText);
    box.setText(text);
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
    QScreen* screen = screenFor(topLeft);
    const QRect area = screen ? screen->availableGeometry() : QRect();
    // A coordinate that comes out negative keeps the centred default.
    QRect place(topLeft, box.sizeHint());
    if (topLeft.x() < 0) place.moveLeft(area.center().x() - place.width() / 2);
    if (topLeft.y() < 0) place.moveTop(area.center().y() - place.height() / 2);
    // Near the screen's right or bottom edge the box would be cut off: it stays wholly on the screen.
    if (!area.isEmpty()) {
        place.moveRight(std::min(place.right(), area.right()));
        place.moveBottom(std::min(place.bottom(), area.bottom()));
        place.moveLeft(std::max(place.left(), area.left()));
        place.moveTop(std::max(place.top(), area.top()));
    }
    box.move(place.topLeft());
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
