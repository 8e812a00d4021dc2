#pragma once
// Message boxes and file dialogs with Qt. Outside text is shown as plain text.

#include "platform/Dialogs.h"

class QWidget;

class QtDialogs : public IDialogs {
public:
    explicit QtDialogs(QWidget* owner = nullptr) : owner_(owner) {}
    void setOwner(QWidget* owner) { owner_ = owner; }

    void message(const QString& text, MessageIcon icon) override;
    void showError(const QString& text) override;
    bool askYesCancel(const QString& text, QPoint topLeft) override;
    std::optional<QString> chooseFile(const FileDialogSpec& spec) override;
    std::optional<QString> askText(const QString& prompt, const QString& preset) override;

private:
    QWidget* owner_;
};
