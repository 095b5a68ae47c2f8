#ifndef STATIONSCOPE_USERPROMPT_H
#define STATIONSCOPE_USERPROMPT_H

#include <QFileDialog>
#include <QList>
#include <QMessageBox>
#include <QString>

class QAction;
class QDialog;
class QMenu;
class QPoint;
class QWidget;

// A message box the program wants answered.
struct PromptMessage
{
    enum Kind { Information, Warning, Critical, Question, About };

    Kind kind = Information;
    QWidget *parent = nullptr;
    QString title;
    QString text;
    QMessageBox::StandardButtons buttons = QMessageBox::Ok;
    QMessageBox::StandardButton defaultButton = QMessageBox::NoButton;
};

// A file or folder the program wants chosen.
struct FileRequest
{
    enum Mode { OpenFile, SaveFile, ExistingDirectory };

    Mode mode = OpenFile;
    QWidget *parent = nullptr;
    QString caption;
    QString directory;
    QString filter;
    QFileDialog::Options options;
};

// The one seam through which every modal question of the program passes:
// message boxes, file dialogs and the exec() of its own dialogs. The program
// answers with real widgets; tests install scripted answers, so nothing blocks
// on a modal loop when there is nobody to click.
class UserPrompt
{
public:
    virtual ~UserPrompt();

    virtual QMessageBox::StandardButton message(const PromptMessage &request) = 0;
    // The chosen path, or an empty text when the dialog was cancelled.
    virtual QString chooseFile(const FileRequest &request) = 0;
    // Runs the dialog modally and gives its result code (QDialog::Accepted ...).
    virtual int execDialog(QDialog *dialog) = 0;
    // Pops the menu up at a global position; the chosen action, or null.
    virtual QAction *execMenu(QMenu *menu, const QPoint &globalPos) = 0;

    // The prompt in force: the widget one unless another was installed.
    static UserPrompt &current();
    // Installs a prompt (null restores the widget one) and gives the previous one.
    static UserPrompt *install(UserPrompt *prompt);

    // Shorthands for the usual questions.
    static void information(QWidget *parent, const QString &title, const QString &text);
    static void warning(QWidget *parent, const QString &title, const QString &text);
    static void about(QWidget *parent, const QString &title, const QString &text);
    static QString openFileName(QWidget *parent, const QString &caption, const QString &directory,
                                const QString &filter);
    static QString saveFileName(QWidget *parent, const QString &caption, const QString &directory,
                                const QString &filter);
    static QString existingDirectory(QWidget *parent, const QString &caption,
                                     const QString &directory, QFileDialog::Options options);
    // The folder of the open project (or workbook): file dialogs open there
    // while it is open. Empty when nothing is open.
    static void setDocumentFolder(const QString &folder);
    static QString documentFolder();
    // Where a file dialog opens: the folder remembered for its kind of file
    // when there is one, else the document's folder, else the home folder.
    static QString startFolder(const QString &remembered = QString());
    // The same with a proposed file name.
    static QString startFile(const QString &remembered, const QString &name);

    static int exec(QDialog *dialog) { return current().execDialog(dialog); }
    static QAction *exec(QMenu *menu, const QPoint &globalPos)
    {
        return current().execMenu(menu, globalPos);
    }
};

// Keeps the messages of a run of many steps instead of showing each, so that
// the run can end with one summary. Installed while it lives; everything that
// is not a message goes to the prompt it replaced.
class MessageCollector : public UserPrompt
{
public:
    MessageCollector();
    ~MessageCollector() override;
    MessageCollector(const MessageCollector &) = delete;
    MessageCollector &operator=(const MessageCollector &) = delete;

    QMessageBox::StandardButton message(const PromptMessage &request) override;
    QString chooseFile(const FileRequest &request) override;
    int execDialog(QDialog *dialog) override;
    QAction *execMenu(QMenu *menu, const QPoint &globalPos) override;

    const QList<PromptMessage> &messages() const { return kept; }

private:
    UserPrompt *previous = nullptr;
    QList<PromptMessage> kept;
};

// Answers with real dialogs.
class WidgetUserPrompt : public UserPrompt
{
public:
    QMessageBox::StandardButton message(const PromptMessage &request) override;
    QString chooseFile(const FileRequest &request) override;
    int execDialog(QDialog *dialog) override;
    QAction *execMenu(QMenu *menu, const QPoint &globalPos) override;
};

#endif
