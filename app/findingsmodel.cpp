#include "findingsmodel.h"

#include <QApplication>
#include <QFile>
#include <QSaveFile>
#include <QStyle>
#include <QTextStream>

namespace {

QString csvField(const QString &text)
{
    if (!text.contains(QLatin1Char(',')) && !text.contains(QLatin1Char('"')) &&
        !text.contains(QLatin1Char('\n')))
        return text;
    QString quoted = text;
    quoted.replace(QLatin1Char('"'), QLatin1String("\"\""));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

} // namespace

FindingsModel::FindingsModel(QObject *parent) : QAbstractTableModel(parent) {}

void FindingsModel::setFindings(const CompareFindings &findings)
{
    beginResetModel();
    rows.clear();
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

void FindingsModel::clear()
{
    if (rows.isEmpty())
        return;
    beginResetModel();
    rows.clear();
    endResetModel();
}

int FindingsModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : rows.size();
}

int FindingsModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant FindingsModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= rows.size() || index.column() >= ColumnCount)
        return QVariant();
    const Row &row = rows.at(index.row());
    if (role == Qt::DisplayRole || role == Qt::ToolTipRole)
        return row.cells[index.column()];
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

bool FindingsModel::writeCsv(const QString &path, QString *problem) const
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Text)) {
        *problem = file.errorString();
        return false;
    }
    QTextStream out(&file);
    out.setCodec("UTF-8");
    QStringList header;
    for (int column = 0; column < ColumnCount; ++column)
        header.append(csvField(headerData(column, Qt::Horizontal).toString()));
    out << header.join(QLatin1Char(',')) << '\n';
    for (const Row &row : rows) {
        QStringList fields;
        for (const QString &cell : row.cells)
            fields.append(csvField(cell));
        out << fields.join(QLatin1Char(',')) << '\n';
    }
    out.flush();
    if (!file.commit()) {
        *problem = file.errorString();
        return false;
    }
    return true;
}
