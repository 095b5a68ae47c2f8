#include "commissioningworkbook.h"

#include "commissioningrecord.h"
#include "sclmodel.h"
#include "workbook.h"

#include <QFileInfo>
#include <QStandardItemModel>

const QString CommissioningWorkbook::CoverSheet = QStringLiteral("Cover");
const QString CommissioningWorkbook::RecordSheet = QStringLiteral("Record");
const QString CommissioningWorkbook::SummarySheet = QStringLiteral("Summary");

namespace {

// The value beside a connection node's label, found by the label's text.
QString connectionValue(const QStandardItemModel &scl, const QString &label)
{
    const QStandardItem *ied = scl.item(0);
    const QStandardItem *connection = ied ? ied->child(SclBranch::ConnectionRow) : nullptr;
    for (int row = 0; connection && row < connection->rowCount(); ++row) {
        const QStandardItem *name = connection->child(row, 0);
        const QStandardItem *value = connection->child(row, 1);
        if (name && value && name->text().trimmed() == label)
            return value->text().trimmed();
    }
    return QString();
}

bool writeCover(WorkbookWriter &book, const CommissioningCover &cover)
{
    const QList<QPair<QString, QString>> lines{
        {QStringLiteral("Commissioning record"), QString()},
        {QStringLiteral("Project"), cover.project},
        {QStringLiteral("IED"), cover.ied},
        {QStringLiteral("Address"), cover.address},
        {QStringLiteral("Configuration revision"), cover.configurationRevision},
        {QStringLiteral("Date"),
         cover.date.toUTC().toString(QStringLiteral("yyyy-MM-dd hh:mm 'UTC'"))},
        {QStringLiteral("Tester"), cover.tester},
    };
    bool written = book.addSheet(CommissioningWorkbook::CoverSheet) && book.setColumnWidth(1, 26) &&
                   book.setColumnWidth(2, 50);
    for (int i = 0; written && i < lines.size(); ++i) {
        const auto style =
            i == 0 ? WorkbookWriter::CellStyle::Header : WorkbookWriter::CellStyle::Plain;
        written = book.write(i + 1, 1, lines.at(i).first, style) &&
                  book.write(i + 1, 2, lines.at(i).second);
    }
    return written;
}

bool writeRecord(WorkbookWriter &book, const CommissioningRecord &record, const QVector<int> &rows)
{
    bool written = book.addSheet(CommissioningWorkbook::RecordSheet);
    for (int column = 0; written && column < CommissioningRecord::ColumnCount; ++column) {
        written = book.write(1, column + 1, record.headerData(column, Qt::Horizontal),
                             WorkbookWriter::CellStyle::Header) &&
                  book.setColumnWidth(column + 1,
                                      column == CommissioningRecord::ReferenceColumn ? 40 : 16);
    }
    for (int i = 0; written && i < rows.size(); ++i) {
        for (int column = 0; written && column < CommissioningRecord::ColumnCount; ++column)
            written = book.write(i + 2, column + 1, record.index(rows.at(i), column).data());
    }
    return written;
}

bool writeSummary(WorkbookWriter &book, const CommissioningSummary &summary)
{
    bool written = book.addSheet(CommissioningWorkbook::SummarySheet) &&
                   book.setColumnWidth(1, 30) && book.setColumnWidth(2, 60);
    const QStringList lines = summary.lines();
    for (int i = 0; written && i < lines.size(); ++i) {
        const QString &line = lines.at(i);
        const int colon = line.indexOf(QStringLiteral(": "));
        const QString value = line.mid(colon + 2);
        bool numeric = false;
        const int number = value.toInt(&numeric);
        written = book.write(i + 1, 1, line.left(colon)) &&
                  book.write(i + 1, 2, numeric ? QVariant(number) : QVariant(value));
    }
    return written;
}

} // namespace

CommissioningCover CommissioningCover::fromProject(const QStandardItemModel &scl,
                                                   const QString &projectPath)
{
    CommissioningCover cover;
    cover.project = QFileInfo(projectPath).fileName();
    cover.ied = connectionValue(scl, QStringLiteral("IED Name"));
    cover.address = projectAddress(scl);
    cover.configurationRevision = connectionValue(scl, QStringLiteral("NamPlt.configRev"));
    cover.date = QDateTime::currentDateTimeUtc();
    return cover;
}

QString CommissioningCover::projectAddress(const QStandardItemModel &scl)
{
    QString address = connectionValue(scl, QStringLiteral("Ip Address"));
    const QString port = connectionValue(scl, QStringLiteral("Port"));
    if (!address.isEmpty() && !port.isEmpty() && port != QLatin1String("102"))
        address += QLatin1Char(':') + port;
    return address;
}

QString CommissioningCover::loginName()
{
    for (const char *variable : {"USER", "LOGNAME", "USERNAME"}) {
        const QString name = qEnvironmentVariable(variable);
        if (!name.isEmpty())
            return name;
    }
    return QString();
}

bool CommissioningWorkbook::write(const QString &path, const CommissioningRecord &record,
                                  const CommissioningCover &cover, QString *problem,
                                  const QVector<int> &rows)
{
    QVector<int> order = rows;
    if (order.isEmpty()) {
        for (int row = 0; row < record.rowCount(); ++row)
            order.append(row);
    }
    WorkbookWriter book;
    if (!writeCover(book, cover) || !writeRecord(book, record, order) ||
        !writeSummary(book, record.summary()) || !book.setActiveSheet(CoverSheet) ||
        !book.saveAs(path)) {
        *problem = QStringLiteral("%1: %2").arg(path, book.errorString());
        return false;
    }
    return true;
}
