#include "scriptedprompt.h"

#include <QAction>
#include <QDialog>
#include <QMenu>

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

QAction *ScriptedPrompt::execMenu(QMenu *menu, const QPoint &)
{
    QStringList texts;
    for (QAction *action : menu->actions())
        texts << action->text();
    menus.append(texts);
    const QString answer = menuAnswers.isEmpty() ? QString() : menuAnswers.dequeue();
    for (QAction *action : menu->actions()) {
        if (!answer.isEmpty() && action->text() == answer) {
            action->trigger();
            return action;
        }
    }
    return nullptr;
}
