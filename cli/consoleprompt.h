#ifndef STATIONSCOPE_CONSOLEPROMPT_H
#define STATIONSCOPE_CONSOLEPROMPT_H

#include "userprompt.h"

#include <QStringList>

// Answers the library's questions without a display: nobody can click, so
// every question gets its safe answer, and the texts of warnings are kept for
// the command's one-line error.
class ConsolePrompt : public UserPrompt
{
public:
    ConsolePrompt();
    ~ConsolePrompt() override;
    ConsolePrompt(const ConsolePrompt &) = delete;
    ConsolePrompt &operator=(const ConsolePrompt &) = delete;

    QMessageBox::StandardButton message(const PromptMessage &request) override;
    QString chooseFile(const FileRequest &request) override;
    int execDialog(QDialog *dialog) override;
    QAction *execMenu(QMenu *menu, const QPoint &globalPos) override;

    // The last warning or error shown, on one line; empty when there was none.
    QString lastProblem() const { return problem; }

private:
    UserPrompt *previous;
    QString problem;
};

#endif
