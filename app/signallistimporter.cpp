#include "signallistimporter.h"

#include "iec61850dbmanager.h"
#include "plcdataimport.h"
#include "scldataexporter.h"
#include "sclmodel.h"
#include "userprompt.h"

#include <QDir>
#include <QPlainTextEdit>
#include <QSet>
#include <QStandardItem>
#include <QStandardItemModel>

namespace {

const QString ProgramTitle = QStringLiteral("Stationscope");

void collectLoose(const QStandardItem *parent, const QSet<QString> &labels,
                  SignalListImporter::LooseBindings *loose, QSet<QString> *seen)
{
    for (int row = 0; row < parent->rowCount(); ++row) {
        for (int column = 0; column < parent->columnCount(); ++column) {
            const QStandardItem *cell = parent->child(row, column);
            if (!cell || !cell->isEnabled() ||
                cell->data(EditorRole).toString() != EditorKind::SignalSelect)
                continue;
            const QString name = cell->text();
            if (name.isEmpty() || labels.contains(name))
                continue;
            ++loose->count;
            if (seen->contains(name))
                continue;
            seen->insert(name);
            if (loose->names.size() < SignalListImporter::MaxNamesShown)
                loose->names.append(name);
            else
                loose->moreNames = true;
        }
        if (const QStandardItem *node = parent->child(row, 0))
            collectLoose(node, labels, loose, seen);
    }
}

} // namespace

SignalListImporter::SignalListImporter(QWidget *window, QPlainTextEdit *infoScreen, QObject *parent)
    : QObject(parent), window(window), infoScreen(infoScreen)
{
}

bool SignalListImporter::importFile(const QString &path, QStandardItemModel *signalModel,
                                    Iec61850DbManager *db,
                                    const QList<QStandardItemModel *> &selections)
{
    if (!signalModel)
        return false;
    const QString shown = QDir::toNativeSeparators(path);
    const SignalListFile list = PlcDataImport::readFile(path);
    if (!list.readable) {
        UserPrompt::warning(
            window, ProgramTitle,
            tr("The signal list %1 cannot be read: %2").arg(shown, list.errorString));
        return false;
    }
    if (list.signalFields.isEmpty()) {
        UserPrompt::warning(
            window, ProgramTitle,
            tr("The signal list %1 holds no signal: no line has the four fields "
               "number;address;label;type separated by \";\".\nThe signal list in use stays as it "
               "is.")
                .arg(shown));
        return false;
    }

    // The project's list is replaced first: when that fails, the window must
    // not show a list the project does not hold.
    if (db) {
        QStandardItemModel stored;
        PlcDataImport().showSignals(list, &stored, nullptr);
        if (!SclDataExporter().writeSignals(&stored, db)) {
            UserPrompt::warning(window, ProgramTitle,
                                tr("The signal list %1 could not be stored in the project.\nThe "
                                   "signal list in use stays as it is.")
                                    .arg(shown));
            return false;
        }
    }
    emit replacing();
    PlcDataImport().showSignals(list, signalModel, infoScreen);
    emit replaced();
    tellWhatToCheck(path, list, looseBindings(selections, *signalModel));
    return true;
}

SignalListImporter::LooseBindings
SignalListImporter::looseBindings(const QList<QStandardItemModel *> &selections,
                                  const QStandardItemModel &signalList)
{
    QSet<QString> labels;
    for (int row = 0; row < signalList.rowCount(); ++row) {
        if (const QStandardItem *label = signalList.item(row, PlcDataImport::LabelColumn))
            labels.insert(label->text());
    }
    labels.insert(NoSignalName);
    LooseBindings loose;
    QSet<QString> seen;
    for (const QStandardItemModel *selection : selections) {
        if (selection)
            collectLoose(selection->invisibleRootItem(), labels, &loose, &seen);
    }
    return loose;
}

void SignalListImporter::tellWhatToCheck(const QString &path, const SignalListFile &list,
                                         const LooseBindings &loose)
{
    QStringList notes;
    if (list.skippedLines > 0) {
        notes.append(
            tr("Lines skipped because they do not hold the four fields "
               "number;address;label;type: %1; the first is line %2.")
                .arg(QString::number(list.skippedLines), QString::number(list.firstSkippedLine)));
    }
    if (loose.count > 0) {
        // One name a line: labels may hold commas.
        QStringList names = loose.names;
        if (loose.moreNames)
            names.append(QStringLiteral("..."));
        notes.append(tr("Signal bindings in the selections that name no label of the new list: "
                        "%1. They are kept as they are:\n%2")
                         .arg(QString::number(loose.count), names.join(QLatin1Char('\n'))));
    }
    if (notes.isEmpty())
        return;
    if (infoScreen)
        infoScreen->appendPlainText(notes.join(QLatin1Char('\n')));
    UserPrompt::information(
        window, ProgramTitle,
        tr("The signal list %1 was imported with %2 signals.")
                .arg(QDir::toNativeSeparators(path), QString::number(list.signalFields.size())) +
            QStringLiteral("\n\n") + notes.join(QStringLiteral("\n\n")));
}
