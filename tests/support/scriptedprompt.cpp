#include "scriptedprompt.h"

#include <QDialog>

ScriptedPrompt::ScriptedPrompt() : previous(UserPrompt::install(this)) {}

ScriptedPrompt::~ScriptedPrompt()
{
    UserPrompt::install(previous);
}

QMessageBox::StandardButton ScriptedPrompt::message(const PromptMessage &request)
{
    messages.append(request);
    if (!buttonAnswers.isEmpty())
        return buttonAnswers.dequeue();
    return request.defaultButton != QMessageBox::NoButton ? request.defaultButton : QMessageBox::Ok;
}

QString ScriptedPrompt::chooseFile(const FileRequest &request)
{
    fileRequests.append(request);
    return fileAnswers.isEmpty() ? QString() : fileAnswers.dequeue();
}

int ScriptedPrompt::execDialog(QDialog *dialog)
{
    dialogs.append(dialog);
    return dialogHandler ? dialogHandler(dialog) : int(QDialog::Rejected);
}
