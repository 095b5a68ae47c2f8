#ifndef STATIONSCOPE_SCRIPTEDPROMPT_H
#define STATIONSCOPE_SCRIPTEDPROMPT_H

#include "userprompt.h"

#include <QList>
#include <QQueue>
#include <functional>

// Answers the program's questions from a script and remembers what was asked.
// Installed for its lifetime; unanswered questions get the safe answer
// (default button, cancelled file dialog, rejected dialog).
class ScriptedPrompt : public UserPrompt
{
public:
    ScriptedPrompt();
    ~ScriptedPrompt() override;
    ScriptedPrompt(const ScriptedPrompt &) = delete;
    ScriptedPrompt &operator=(const ScriptedPrompt &) = delete;

    QMessageBox::StandardButton message(const PromptMessage &request) override;
    QString chooseFile(const FileRequest &request) override;
    int execDialog(QDialog *dialog) override;
    QAction *execMenu(QMenu *menu, const QPoint &globalPos) override;

    QQueue<QMessageBox::StandardButton> buttonAnswers;
    QQueue<QString> fileAnswers;
    // Called with the dialog instead of running it; gives the result code.
    std::function<int(QDialog *)> dialogHandler;
    // Texts of the menu actions to choose, in turn; an empty text or none left
    // closes the menu without a choice.
    QQueue<QString> menuAnswers;

    QList<PromptMessage> messages;
    QList<FileRequest> fileRequests;
    QList<QDialog *> dialogs;
    QList<QStringList> menus; // the action texts of each menu shown

private:
    UserPrompt *previous;
};

#endif
