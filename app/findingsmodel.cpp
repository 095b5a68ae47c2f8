#include "findingsmodel.h"

#include <QApplication>
#include <QFile>
#include <QSaveFile>
#include <QStyle>
#include <QTextStream>

FindingsModel::FindingsModel(QObject *parent) : QAbstractTableModel(parent) {}

void FindingsModel::setFindings(const CompareFindings &findings)
{
    beginResetModel();
    rows.clear();
    sclFindings.clear();
    showsSclFindings = false;
    rows.reserve(findings.size());
    for (const CompareFinding &finding : findings) {
        Row row;
        row.severity = int(finding.severity);
        row.cells[SeverityColumn] = severityText(finding.severity);
        row.cells[PickColumn] = finding.pick;
        row.cells[WhatColumn] = finding.what;
        row.cells[ExpectedColumn] = finding.expected;
        row.cells[FoundColumn] = finding.found;
        rows.append(row);
    }
    endResetModel();
}

void FindingsModel::setRemovedPicks(const QVector<RemovedPick> &removed)
{
    beginResetModel();
    rows.clear();
    sclFindings.clear();
    showsSclFindings = false;
    for (const RemovedPick &pick : removed) {
        Row row;
        row.cells[SeverityColumn] = tr("removed");
        row.cells[PickColumn] =
            ProjectUpdate::pickKindText(pick.kind) + QLatin1Char(' ') + pick.reference;
        row.cells[WhatColumn] = pick.reason;
        rows.append(row);
    }
    endResetModel();
}

void FindingsModel::setSclFindings(const SclFindings &findings)
{
    beginResetModel();
    rows.clear();
    sclFindings = findings;
    showsSclFindings = true;
    rows.reserve(findings.size());
    for (const SclFinding &finding : findings) {
        Row row;
        row.severity = int(finding.severity);
        row.cells[SeverityColumn] = sclSeverityText(finding.severity);
        row.cells[ReferenceColumn] = finding.reference;
        row.cells[LineColumn] = finding.line > 0 ? QString::number(finding.line) : QString();
        row.cells[TextColumn] = finding.text;
        rows.append(row);
    }
    endResetModel();
}

const SclFinding *FindingsModel::sclFinding(int row) const
{
    return row >= 0 && row < sclFindings.size() ? &sclFindings.at(row) : nullptr;
}

void FindingsModel::clear()
{
    if (rows.isEmpty())
        return;
    beginResetModel();
    rows.clear();
    sclFindings.clear();
    showsSclFindings = false;
    endResetModel();
}

int FindingsModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : rows.size();
}

int FindingsModel::columnCount(const QModelIndex &parent) const
{
    if (parent.isValid())
        return 0;
    return showsSclFindings ? int(SclColumnCount) : int(ColumnCount);
}

QVariant FindingsModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= rows.size() || index.column() >= columnCount())
        return QVariant();
    const Row &row = rows.at(index.row());
    if (role == Qt::DisplayRole || role == Qt::ToolTipRole)
        return row.cells[index.column()];
    if (role == SortRole) {
        if (index.column() == SeverityColumn)
            return row.severity;
        if (showsSclFindings && index.column() == LineColumn)
            return sclFindings.at(index.row()).line;
        return row.cells[index.column()];
    }
    if (role == Qt::DecorationRole && index.column() == SeverityColumn) {
        switch (row.severity) {
        case int(FindingSeverity::Error):
            return QApplication::style()->standardIcon(QStyle::SP_MessageBoxCritical);
        case int(FindingSeverity::Warning):
            return QApplication::style()->standardIcon(QStyle::SP_MessageBoxWarning);
        case int(FindingSeverity::Info):
            return QApplication::style()->standardIcon(QStyle::SP_MessageBoxInformation);
        default:
            return QApplication::style()->standardIcon(QStyle::SP_TrashIcon);
        }
    }
    return QVariant();
}

QVariant FindingsModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    if (showsSclFindings) {
        const QStringList headers{tr("Severity"), tr("Reference"), tr("Line"), tr("Text")};
        return headers.value(section);
    }
    switch (section) {
    case SeverityColumn:
        return tr("Severity");
    case PickColumn:
        return tr("Pick");
    case WhatColumn:
        return tr("What differs");
    case ExpectedColumn:
        return tr("Expected");
    case FoundColumn:
        return tr("Found");
    default:
        return QVariant();
    }
}

bool FindingsModel::writeCsv(const QString &path, QString *problem, const QVector<int> &order) const
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Text)) {
        *problem = file.errorString();
        return false;
    }
    QTextStream out(&file);
    out.setCodec("UTF-8");
    QStringList header;
    for (int column = 0; column < columnCount(); ++column)
        header.append(csvField(headerData(column, Qt::Horizontal).toString()));
    out << header.join(QLatin1Char(',')) << '\n';
    QVector<int> written = order;
    if (written.isEmpty()) {
        for (int row = 0; row < rows.size(); ++row)
            written.append(row);
    }
    for (int index : qAsConst(written)) {
        const Row &row = rows.at(index);
        QStringList fields;
        for (int column = 0; column < columnCount(); ++column)
            fields.append(csvField(row.cells[column]));
        out << fields.join(QLatin1Char(',')) << '\n';
    }
    out.flush();
    if (!file.commit()) {
        *problem = file.errorString();
        return false;
    }
    return true;
}
