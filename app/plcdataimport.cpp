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
const int LabelField = 2;

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

void PlcDataImport::importSignals(const QString &fileName, QStandardItemModel *model,
                                  QPlainTextEdit *infoScreen)
{
    if (!model)
        return;

    // Replacing rather than appending keeps the placeholder the one first row
    // whoever calls and however often.
    model->setRowCount(0);
    model->setColumnCount(FieldCount);
    model->setHorizontalHeaderLabels(headerLabels());

    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return;

    model->appendRow(signalRow({QString(), QString(), QStringLiteral("NoRef"), QString()}));

    // The locale's codec unless the file starts with a byte order mark.
    QTextStream in(&file);
    int count = 0;
    int undecodable = 0;
    // The screen takes the lines in one piece: one append per line costs the
    // window about fifteen times as long, seconds for a long list.
    QStringList infoLines;
    QString line;
    while (in.readLineInto(&line)) {
        const QStringList fields = line.split(QLatin1Char(';'), Qt::KeepEmptyParts);
        if (fields.size() != FieldCount)
            continue;

        model->appendRow(signalRow(fields));
        ++count;
        if (line.contains(QChar::ReplacementCharacter))
            ++undecodable;

        // One substitution pass, so a "%1" inside a label stays text.
        if (verbose && infoScreen) {
            infoLines.append(QStringLiteral("%1:%2,%3")
                                 .arg(QString::number(count), fields.at(LabelField),
                                      QString::number(signalNumber(fields.at(NumberField)))));
        }
    }
    if (!infoLines.isEmpty())
        infoScreen->appendPlainText(infoLines.join(QLatin1Char('\n')));

    // Labels are bound by their text: a label that lost characters to the
    // decoder must not pass unnoticed.
    if (undecodable > 0 && infoScreen) {
        infoScreen->appendPlainText(
            tr("Warning: signals with bytes the text encoding %2 cannot decode: %1")
                .arg(QString::number(undecodable), QString::fromLatin1(in.codec()->name())));
    }
}
