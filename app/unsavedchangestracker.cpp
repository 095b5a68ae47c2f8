#include "unsavedchangestracker.h"

#include "selecteddatasetsmodel.h"
#include "userprompt.h"

#include <QAbstractItemModel>

UnsavedChangesTracker::UnsavedChangesTracker(QObject *parent) : QObject(parent) {}

void UnsavedChangesTracker::watch(QAbstractItemModel *model)
{
    connect(model, &QAbstractItemModel::rowsInserted, this, &UnsavedChangesTracker::markModified);
    connect(model, &QAbstractItemModel::rowsRemoved, this, &UnsavedChangesTracker::markModified);
    connect(model, &QAbstractItemModel::rowsMoved, this, &UnsavedChangesTracker::markModified);
    // What a live IED reports beside the data set members is no edit.
    const int liveColumn = qobject_cast<SelectedDatasetsModel *>(model)
                               ? int(SelectedDatasetsModel::LiveValueColumn)
                               : -1;
    connect(model, &QAbstractItemModel::dataChanged, this,
            [this, liveColumn](const QModelIndex &topLeft, const QModelIndex &bottomRight) {
                if (topLeft.column() != liveColumn || bottomRight.column() != liveColumn)
                    markModified();
            });
}

void UnsavedChangesTracker::reset()
{
    if (!modified)
        return;
    modified = false;
    emit modifiedChanged(false);
}

void UnsavedChangesTracker::markModified()
{
    if (modified)
        return;
    modified = true;
    emit modifiedChanged(true);
}

UnsavedChangesTracker::Choice UnsavedChangesTracker::askToSave(const QString &name, bool canSave)
{
    PromptMessage question;
    question.kind = PromptMessage::Question;
    question.title = QStringLiteral("Stationscope");
    question.text = tr("Save changes to %1?").arg(name);
    // An imported workbook is no project: its changes can only be dropped.
    question.buttons = canSave ? QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel
                               : QMessageBox::Discard | QMessageBox::Cancel;
    question.defaultButton = canSave ? QMessageBox::Save : QMessageBox::Cancel;
    switch (UserPrompt::current().message(question)) {
    case QMessageBox::Save:
        return canSave ? Save : Cancel;
    case QMessageBox::Discard:
        return Discard;
    default:
        return Cancel;
    }
}
