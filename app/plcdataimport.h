#ifndef STATIONSCOPE_PLCDATAIMPORT_H
#define STATIONSCOPE_PLCDATAIMPORT_H

#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>

class QPlainTextEdit;
class QStandardItemModel;

// What one signal list file holds, read before any model is touched.
struct SignalListFile
{
    bool readable = false;
    QString errorString;
    // The four fields of each signal line, in file order.
    QList<QStringList> signalFields;
    // Lines with text that are not four fields; blank lines do not count.
    int skippedLines = 0;
    // Number (from 1) of the first skipped line, 0 when none was skipped.
    int firstSkippedLine = 0;
    int undecodableSignals = 0;
    QString codecName;
};

// Reads the PLC/RTU signal list, one "number;address;label;type" line per
// signal, into a flat four-column model headed by the "NoRef" placeholder.
class PlcDataImport : public QObject
{
    Q_OBJECT

public:
    explicit PlcDataImport(QObject *parent = nullptr);

    static SignalListFile readFile(const QString &fileName);

    // Replaces the rows of model with the placeholder and the file's signals
    // and reports each signal on infoScreen (which may be null). A file that
    // cannot be opened leaves the model without rows.
    void importSignals(const QString &fileName, QStandardItemModel *model,
                       QPlainTextEdit *infoScreen);
    // The same from a file read before.
    void showSignals(const SignalListFile &list, QStandardItemModel *model,
                     QPlainTextEdit *infoScreen);

    static QStringList headerLabels();
    static const int LabelColumn = 2;

private:
    bool verbose = true;
};

#endif
