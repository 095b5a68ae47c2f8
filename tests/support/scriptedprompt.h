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

    QQueue<QMessageBox::StandardButton> buttonAnswers;
    QQueue<QString> fileAnswers;
    // Called with the dialog instead of running it; gives the result code.
    std::function<int(QDialog *)> dialogHandler;

    QList<PromptMessage> messages;
    QList<FileRequest> fileRequests;
    QList<QDialog *> dialogs;

private:
    UserPrompt *previous;
};

#endif
