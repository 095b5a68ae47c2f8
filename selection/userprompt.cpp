#include "userprompt.h"

#include <QDialog>
#include <QDir>
#include <QMenu>

namespace {
UserPrompt *installedPrompt = nullptr;
QString openDocumentFolder;
} // namespace

UserPrompt::~UserPrompt() = default;

UserPrompt &UserPrompt::current()
{
    static WidgetUserPrompt widgetPrompt;
    return installedPrompt ? *installedPrompt : widgetPrompt;
}

UserPrompt *UserPrompt::install(UserPrompt *prompt)
{
    UserPrompt *previous = installedPrompt;
    installedPrompt = prompt;
    return previous;
}

void UserPrompt::information(QWidget *parent, const QString &title, const QString &text)
{
    current().message(
        {PromptMessage::Information, parent, title, text, QMessageBox::Ok, QMessageBox::NoButton});
}

void UserPrompt::warning(QWidget *parent, const QString &title, const QString &text)
{
    current().message(
        {PromptMessage::Warning, parent, title, text, QMessageBox::Ok, QMessageBox::NoButton});
}

void UserPrompt::about(QWidget *parent, const QString &title, const QString &text)
{
    current().message(
        {PromptMessage::About, parent, title, text, QMessageBox::Ok, QMessageBox::NoButton});
}

QString UserPrompt::openFileName(QWidget *parent, const QString &caption, const QString &directory,
                                 const QString &filter)
{
    return current().chooseFile({FileRequest::OpenFile, parent, caption, directory, filter, {}});
}

QString UserPrompt::saveFileName(QWidget *parent, const QString &caption, const QString &directory,
                                 const QString &filter)
{
    return current().chooseFile({FileRequest::SaveFile, parent, caption, directory, filter, {}});
}

QString UserPrompt::existingDirectory(QWidget *parent, const QString &caption,
                                      const QString &directory, QFileDialog::Options options)
{
    return current().chooseFile(
        {FileRequest::ExistingDirectory, parent, caption, directory, QString(), options});
}

void UserPrompt::setDocumentFolder(const QString &folder)
{
    openDocumentFolder = folder;
}

QString UserPrompt::documentFolder()
{
    return openDocumentFolder;
}

QString UserPrompt::startFolder(const QString &remembered)
{
    if (!remembered.isEmpty())
        return remembered;
    return openDocumentFolder.isEmpty() ? QDir::homePath() : openDocumentFolder;
}

QString UserPrompt::startFile(const QString &remembered, const QString &name)
{
    return QDir(startFolder(remembered)).filePath(name);
}

MessageCollector::MessageCollector() : previous(UserPrompt::install(this)) {}

MessageCollector::~MessageCollector()
{
    UserPrompt::install(previous);
}

QMessageBox::StandardButton MessageCollector::message(const PromptMessage &request)
{
    kept.append(request);
    return request.defaultButton != QMessageBox::NoButton ? request.defaultButton : QMessageBox::Ok;
}

QString MessageCollector::chooseFile(const FileRequest &request)
{
    return previous ? previous->chooseFile(request) : WidgetUserPrompt().chooseFile(request);
}

int MessageCollector::execDialog(QDialog *dialog)
{
    return previous ? previous->execDialog(dialog) : WidgetUserPrompt().execDialog(dialog);
}

QAction *MessageCollector::execMenu(QMenu *menu, const QPoint &globalPos)
{
    return previous ? previous->execMenu(menu, globalPos)
                    : WidgetUserPrompt().execMenu(menu, globalPos);
}

QMessageBox::StandardButton WidgetUserPrompt::message(const PromptMessage &request)
{
    if (request.kind == PromptMessage::About) {
        QMessageBox::about(request.parent, request.title, request.text);
        return QMessageBox::Ok;
    }
    static const QMessageBox::Icon icons[] = {QMessageBox::Information, QMessageBox::Warning,
                                              QMessageBox::Critical, QMessageBox::Question};
    QMessageBox box(icons[request.kind], request.title, request.text, request.buttons,
                    request.parent);
    if (request.defaultButton != QMessageBox::NoButton)
        box.setDefaultButton(request.defaultButton);
    return static_cast<QMessageBox::StandardButton>(box.exec());
}

QString WidgetUserPrompt::chooseFile(const FileRequest &request)
{
    switch (request.mode) {
    case FileRequest::OpenFile:
        return QFileDialog::getOpenFileName(request.parent, request.caption, request.directory,
                                            request.filter, nullptr, request.options);
    case FileRequest::SaveFile:
        return QFileDialog::getSaveFileName(request.parent, request.caption, request.directory,
                                            request.filter, nullptr, request.options);
    case FileRequest::ExistingDirectory:
        break;
    }
    return QFileDialog::getExistingDirectory(request.parent, request.caption, request.directory,
                                             request.options);
}

int WidgetUserPrompt::execDialog(QDialog *dialog)
{
    return dialog->exec();
}

QAction *WidgetUserPrompt::execMenu(QMenu *menu, const QPoint &globalPos)
{
    return menu->exec(globalPos);
}
