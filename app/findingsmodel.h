#ifndef STATIONSCOPE_FINDINGSMODEL_H
#define STATIONSCOPE_FINDINGSMODEL_H

// The differences a check found, or the picks an update removed, as a table:
// severity, pick, what differs, expected, found. Or what the check of an SCL
// file found: severity, reference, line, text.

#include "comparefinding.h"
#include "projectupdate.h"
#include "sclfinding.h"

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

    // The columns of the SCL file check's findings.
    enum SclColumn { ReferenceColumn = 1, LineColumn, TextColumn, SclColumnCount };
    // What the sort proxy sorts by: severity and line as numbers.
    static constexpr int SortRole = Qt::UserRole;

    explicit FindingsModel(QObject *parent = nullptr);

    void setFindings(const CompareFindings &findings);
    // Each removed pick as a row of severity "removed".
    void setRemovedPicks(const QVector<RemovedPick> &removed);
    void setSclFindings(const SclFindings &findings);
    void clear();
    // The SCL file finding of a row; null when the rows are of another kind.
    const SclFinding *sclFinding(int row) const;

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

    // The header and every row, comma separated, fields quoted where needed;
    // the rows in the given order of model rows (a sorted view's), else in
    // the model's.
    bool writeCsv(const QString &path, QString *problem, const QVector<int> &order = {}) const;

private:
    struct Row
    {
        QString cells[ColumnCount];
        int severity = -1; // FindingSeverity, -1 for a removed pick
    };
    QVector<Row> rows;
    SclFindings sclFindings;
    bool showsSclFindings = false;
};

#endif
