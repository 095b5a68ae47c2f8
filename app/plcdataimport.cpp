#include "plcdataimport.h"

#include <QFile>
#include <QList>
#include <QPlainTextEdit>
#include <QStandardItem>
#include <QStandardItemModel>
#include <QStringList>
#include <QTextCodec>
#include <QTextStream>

namespace {
const int FieldCount = 4;
const int NumberField = 0;

QList<QStandardItem *> signalRow(const QStringList &fields)
{
    QList<QStandardItem *> row;
    for (const QString &field : fields)
        row.append(new QStandardItem(field));
    return row;
}

qlonglong signalNumber(const QString &text)
{
    bool ok = false;
    const qlonglong number = text.toLongLong(&ok, 10);
    return ok ? number : 0;
}
} // namespace

PlcDataImport::PlcDataImport(QObject *parent) : QObject(parent) {}

QStringList PlcDataImport::headerLabels()
{
    return {tr("Signal Number"), tr("Address"), tr("Label"), tr("Type")};
}

SignalListFile PlcDataImport::readFile(const QString &fileName)
{
    SignalListFile list;
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        list.errorString = file.errorString();
        return list;
    }
    list.readable = true;

    // The locale's codec unless the file starts with a byte order mark.
    QTextStream in(&file);
    int lineNumber = 0;
    QString line;
    while (in.readLineInto(&line)) {
        ++lineNumber;
        const QStringList fields = line.split(QLatin1Char(';'), Qt::KeepEmptyParts);
        if (fields.size() != FieldCount) {
            if (!line.trimmed().isEmpty() && list.skippedLines++ == 0)
                list.firstSkippedLine = lineNumber;
            continue;
        }
        list.signalFields.append(fields);
        if (line.contains(QChar::ReplacementCharacter))
            ++list.undecodableSignals;
    }
    list.codecName = QString::fromLatin1(in.codec()->name());
    return list;
}

void PlcDataImport::importSignals(const QString &fileName, QStandardItemModel *model,
                                  QPlainTextEdit *infoScreen)
{
    if (model)
        showSignals(readFile(fileName), model, infoScreen);
}

void PlcDataImport::showSignals(const SignalListFile &list, QStandardItemModel *model,
                                QPlainTextEdit *infoScreen)
{
    if (!model)
        return;

    // Replacing rather than appending keeps the placeholder the one first row
    // whoever calls and however often.
    model->setRowCount(0);
    model->setColumnCount(FieldCount);
    model->setHorizontalHeaderLabels(headerLabels());
    if (!list.readable)
        return;

    model->appendRow(signalRow({QString(), QString(), QStringLiteral("NoRef"), QString()}));

    // The screen takes the lines in one piece: one append per line costs the
    // window about fifteen times as long, seconds for a long list.
    QStringList infoLines;
    int count = 0;
    for (const QStringList &fields : list.signalFields) {
        model->appendRow(signalRow(fields));
        ++count;
        // One substitution pass, so a "%1" inside a label stays text.
        if (verbose && infoScreen) {
            infoLines.append(QStringLiteral("%1:%2,%3")
                                 .arg(QString::number(count), fields.at(LabelColumn),
                                      QString::number(signalNumber(fields.at(NumberField)))));
        }
    }
    if (!infoLines.isEmpty())
        infoScreen->appendPlainText(infoLines.join(QLatin1Char('\n')));

    // Labels are bound by their text: a label that lost characters to the
    // decoder must not pass unnoticed.
    if (list.undecodableSignals > 0 && infoScreen) {
        infoScreen->appendPlainText(
            tr("Warning: signals with bytes the text encoding %2 cannot decode: %1")
                .arg(QString::number(list.undecodableSignals), list.codecName));
    }
}
