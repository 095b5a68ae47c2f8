#ifndef STATIONSCOPE_FINDINGSMODEL_H
#define STATIONSCOPE_FINDINGSMODEL_H

// The differences a check found, or the picks an update removed, as a table:
// severity, pick, what differs, expected, found.

#include "comparefinding.h"
#include "projectupdate.h"

#include <QAbstractTableModel>
#include <QVector>

class FindingsModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    enum Column {
        SeverityColumn,
        PickColumn,
        WhatColumn,
        ExpectedColumn,
        FoundColumn,
        ColumnCount
    };

    explicit FindingsModel(QObject *parent = nullptr);

    void setFindings(const CompareFindings &findings);
    // Each removed pick as a row of severity "removed".
    void setRemovedPicks(const QVector<RemovedPick> &removed);
    void clear();

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

    // The header and every row, comma separated, fields quoted where needed.
    bool writeCsv(const QString &path, QString *problem) const;

private:
    struct Row
    {
        QString cells[ColumnCount];
        int severity = -1; // FindingSeverity, -1 for a removed pick
    };
    QVector<Row> rows;
};

#endif
