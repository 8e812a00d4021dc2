#include "ui/QtDialogs.h"

#include "platform/ByteText.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QLineEdit>
#include <QMessageBox>
#include <QScreen>

namespace {

void prepare(QMessageBox& box, const QString& text) {
    box.setWindowTitle(QApplication::applicationName());
    box.setTextFormat(Qt::PlainText);
    // Paths and titles in a message may hold bytes that are not UTF-8.
    box.setText(displayText(text));
    // While the window is hidden in the notification area a box is the last window; closing it must
    // not end the program.
    box.setAttribute(Qt::WA_QuitOnClose, false);
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
    // A coordinate that comes out negative keeps the centred default.
    const QRect screen = QApplication::primaryScreen() ? QApplication::primaryScreen()->geometry() : QRect();
    const QSize size = box.sizeHint();
    const int x = topLeft.x() >= 0 ? topLeft.x() : screen.center().x() - size.width() / 2;
    const int y = topLeft.y() >= 0 ? topLeft.y() : screen.center().y() - size.height() / 2;
    box.move(x, y);
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
