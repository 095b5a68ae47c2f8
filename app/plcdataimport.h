#ifndef STATIONSCOPE_PLCDATAIMPORT_H
#define STATIONSCOPE_PLCDATAIMPORT_H

#include <QObject>
#include <QString>

class QPlainTextEdit;
class QStandardItemModel;

// Reads the PLC/RTU signal list, one "number;address;label;type" line per
// signal, into a flat four-column model headed by the "NoRef" placeholder.
class PlcDataImport : public QObject
{
    Q_OBJECT

public:
    explicit PlcDataImport(QObject *parent = nullptr);

    // Replaces the rows of model with the placeholder and the file's signals
    // and reports each signal on infoScreen (which may be null). A file that
    // cannot be opened leaves the model without rows.
    void importSignals(const QString &fileName, QStandardItemModel *model,
                       QPlainTextEdit *infoScreen);

    static QStringList headerLabels();

private:
    bool verbose = true;
};

#endif
