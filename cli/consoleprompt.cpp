#include "consoleprompt.h"

#include <QDialog>

ConsolePrompt::ConsolePrompt() : previous(UserPrompt::install(this)) {}

ConsolePrompt::~ConsolePrompt()
{
    UserPrompt::install(previous);
}

QMessageBox::StandardButton ConsolePrompt::message(const PromptMessage &request)
{
    if (request.kind == PromptMessage::Warning || request.kind == PromptMessage::Critical)
        problem = request.text.simplified();
    if (request.defaultButton != QMessageBox::NoButton)
        return request.defaultButton;
    return request.buttons.testFlag(QMessageBox::Ok) ? QMessageBox::Ok : QMessageBox::NoButton;
}

QString ConsolePrompt::chooseFile(const FileRequest &)
{
    return QString();
}

int ConsolePrompt::execDialog(QDialog *)
{
    return QDialog::Rejected;
}

QAction *ConsolePrompt::execMenu(QMenu *, const QPoint &)
{
    return nullptr;
}
