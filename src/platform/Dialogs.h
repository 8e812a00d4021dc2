#pragma once
// Message boxes and file dialogs. The window implements them with Qt; tests answer them.

#include <QPoint>
#include <QString>
#include <optional>

enum class MessageIcon { None, Error };

// The texts and start values of a file dialog for playlists.
struct FileDialogSpec {
    bool save = false;
    QString folder;   // where the dialog starts
    QString fileName; // offered as file name
    QString okText;
    QString cancelText;
    QString lookInText;
    QString fileNameText;
    QString fileTypeText;
};

class IDialogs {
public:
    virtual ~IDialogs() = default;
    // A message box with an OK button.
    virtual void message(const QString& text, MessageIcon icon) = 0;
    // The framework's error dialog for an error that ended a handler.
    virtual void showError(const QString& text) = 0;
    // A question with Yes and Cancel, its top-left corner at topLeft (centred on the screen when both
    // coordinates are negative); true for Yes.
    virtual bool askYesCancel(const QString& text, QPoint topLeft) = 0;
    // The chosen file's path, or nothing when the user cancels.
    virtual std::optional<QString> chooseFile(const FileDialogSpec& spec) = 0;
    // A line of text to enter, starting as preset; nothing when the user cancels.
    virtual std::optional<QString> askText(const QString& prompt, const QString& preset) = 0;
};
