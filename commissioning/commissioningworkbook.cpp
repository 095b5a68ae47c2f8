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

// A cell value for a text of the record that holds a whole number: "12" becomes 12, while
// "007" or "12a" stay texts, which a number would change.
QVariant numberOrText(const QString &text)
{
    bool numeric = false;
    const qlonglong number = text.toLongLong(&numeric);
    if (numeric && QString::number(number) == text)
        return number;
    return text;
}

bool isTimeColumn(int column)
{
    return column == CommissioningRecord::LastChangeColumn ||
           column == CommissioningRecord::FirstSeenColumn ||
           column == CommissioningRecord::LastSeenColumn ||
           column == CommissioningRecord::TouchedColumn;
}

QVariant recordCell(const CommissioningRecord &record, int row, int column)
{
    const QModelIndex index = record.index(row, column);
    if (isTimeColumn(column)) {
        const QDateTime time = index.data(CommissioningRecord::SortRole).toDateTime();
        return time.isValid() ? QVariant(time.toUTC()) : QVariant();
    }
    const QVariant shown = index.data();
    if (column == CommissioningRecord::NumberColumn)
        return numberOrText(shown.toString());
    return shown;
}

bool writeCover(WorkbookWriter &book, const CommissioningCover &cover,
                const CommissioningSummary &summary, int exportedRows)
{
    using Style = WorkbookWriter::CellStyle;
    SheetLayout layout;
    layout.orientation = SheetLayout::Orientation::Portrait;
    layout.onePage = true;
    layout.printGridlines = false;
    bool written = book.addSheet(CommissioningWorkbook::CoverSheet) && book.setLayout(layout) &&
                   book.setColumnWidth(1, 24) && book.setColumnWidth(2, 40) &&
                   book.setColumnWidth(3, 8) && book.setColumnWidth(4, 18) &&
                   book.write(1, 1, QStringLiteral("Commissioning record"), Style::Title) &&
                   book.setRowHeight(1, 24);
    const QList<QPair<QString, QVariant>> lines =
        CommissioningWorkbook::coverLines(cover, summary, exportedRows);
    int row = 3;
    for (int i = 0; written && i < lines.size(); ++i, ++row) {
        written = book.write(row, 1, lines.at(i).first, Style::Header) &&
                  book.write(row, 2, lines.at(i).second);
    }
    ++row;
    for (const QString &caption : CommissioningWorkbook::signatureCaptions()) {
        if (!written)
            break;
        written = book.setRowHeight(row, 36) && book.write(row, 1, caption) &&
                  book.write(row, 2, QVariant(), Style::SignatureLine) &&
                  book.write(row, 3, QStringLiteral("Date")) &&
                  book.write(row, 4, QVariant(), Style::SignatureLine);
        ++row;
    }
    return written;
}

bool writeRecord(WorkbookWriter &book, const CommissioningRecord &record, const QVector<int> &rows)
{
    SheetLayout layout;
    layout.headerRows = 1;
    layout.frozenColumns = 1;
    layout.autoFilter = true;
    layout.widthsFromContent = true;
    layout.maxColumnWidth = 40;
    bool written = book.addSheet(CommissioningWorkbook::RecordSheet) && book.setLayout(layout);
    for (int column = 0; written && column < CommissioningRecord::ColumnCount; ++column) {
        written = book.write(1, column + 1, record.headerData(column, Qt::Horizontal),
                             WorkbookWriter::CellStyle::Header);
    }
    for (int i = 0; written && i < rows.size(); ++i) {
        for (int column = 0; written && column < CommissioningRecord::ColumnCount; ++column)
            written = book.write(i + 2, column + 1, recordCell(record, rows.at(i), column));
    }
    return written;
}

bool writeSummary(WorkbookWriter &book, const CommissioningSummary &summary,
                  const QList<QPair<QString, QVariant>> &filterLines)
{
    SheetLayout layout;
    layout.orientation = SheetLayout::Orientation::Portrait;
    layout.widthsFromContent = true;
    layout.maxColumnWidth = 60;
    bool written = book.addSheet(CommissioningWorkbook::SummarySheet) && book.setLayout(layout);
    const QStringList lines = summary.lines();
    int row = 1;
    for (int i = 0; written && i < lines.size(); ++i, ++row) {
        // "Caption: value"; a line without a value stands alone.
        const QString &line = lines.at(i);
        const int colon = line.indexOf(QStringLiteral(": "));
        if (colon < 0) {
            written = book.write(row, 1, line);
            continue;
        }
        written = book.write(row, 1, line.left(colon)) &&
                  book.write(row, 2, numberOrText(line.mid(colon + 2)));
    }
    for (int i = 0; written && i < filterLines.size(); ++i, ++row) {
        written = book.write(row, 1, filterLines.at(i).first) &&
                  book.write(row, 2, filterLines.at(i).second);
    }
    return written;
}

QString orUnknown(const QString &text)
{
    return text.isEmpty() ? QStringLiteral("unknown") : text;
}

// A time of the cover in the zone of the machine that wrote the hand-over, with its offset,
// to the second.
QVariant coverTime(const QDateTime &time)
{
    if (!time.isValid())
        return QVariant();
    const QDateTime local = time.toLocalTime();
    return local.addMSecs(-local.time().msec());
}

QVariant timeOrNone(const QDateTime &time)
{
    return time.isValid() ? coverTime(time) : QVariant(QStringLiteral("no session ran"));
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
    const CommissioningSummary summary = record.summary();
    WorkbookWriter book;
    book.setPrintHeading(cover.project, cover.ied);
    if (!writeCover(book, cover, summary, order.size()) || !writeRecord(book, record, order) ||
        !writeSummary(book, summary, filterLines(cover, record.rowCount(), order.size())) ||
        !book.setActiveSheet(CoverSheet) || !book.saveAs(path)) {
        *problem = QStringLiteral("%1: %2").arg(path, book.errorString());
        return false;
    }
    return true;
}

QString CommissioningWorkbook::overallResult(const CommissioningSummary &summary)
{
    if (summary.rows == 0)
        return QStringLiteral("No rows");
    if (summary.failed == 0 && summary.notTested == 0)
        return QStringLiteral("All passed");
    QStringList parts;
    if (summary.failed > 0)
        parts << QStringLiteral("%1 failed").arg(summary.failed);
    if (summary.notTested > 0)
        parts << QStringLiteral("%1 not tested").arg(summary.notTested);
    return parts.join(QStringLiteral(", "));
}

QList<QPair<QString, QVariant>>
CommissioningWorkbook::coverLines(const CommissioningCover &cover,
                                  const CommissioningSummary &summary, int exportedRows)
{
    QList<QPair<QString, QVariant>> lines{
        {QStringLiteral("Result"), overallResult(summary)},
        {QStringLiteral("Rows"), summary.rows},
        {QStringLiteral("Passed"), summary.passed},
        {QStringLiteral("Failed"), summary.failed},
        {QStringLiteral("Not tested"), summary.notTested},
    };
    lines << filterLines(cover, summary.rows, exportedRows);
    lines << QList<QPair<QString, QVariant>>{
        {QStringLiteral("Project"), cover.project},
        {QStringLiteral("SCL file"), cover.sclFile},
        {QStringLiteral("SCL revision"), orUnknown(cover.sclRevision)},
        {QStringLiteral("IED"), cover.ied},
        {QStringLiteral("Vendor"), orUnknown(cover.vendor)},
        {QStringLiteral("Model"), orUnknown(cover.model)},
        {QStringLiteral("Serial number"), orUnknown(cover.serialNumber)},
        {QStringLiteral("Address"), cover.address},
        {QStringLiteral("Configuration revision"), orUnknown(cover.configurationRevision)},
        {QStringLiteral("Testing started"), timeOrNone(cover.testingStarted)},
        {QStringLiteral("Testing ended"), timeOrNone(cover.testingEnded)},
        {QStringLiteral("Exported"), coverTime(cover.date)},
        {QStringLiteral("Tester"), cover.tester},
        {QStringLiteral("Witness"), cover.witness},
    };
    return lines;
}

QList<QPair<QString, QVariant>> CommissioningWorkbook::filterLines(const CommissioningCover &cover,
                                                                   int recordRows, int exportedRows)
{
    if (cover.rowFilter.isEmpty() && exportedRows >= recordRows)
        return {};
    return {{QStringLiteral("Rows exported"),
             QStringLiteral("%1 of %2").arg(exportedRows).arg(recordRows)},
            {QStringLiteral("Row filter"), cover.rowFilter.isEmpty()
                                               ? QStringLiteral("a filter of the record's table")
                                               : cover.rowFilter}};
}

QStringList CommissioningWorkbook::signatureCaptions()
{
    return {QStringLiteral("Tester's signature"), QStringLiteral("Witness's signature")};
}

QString CommissioningWorkbook::zonedText(const QDateTime &time)
{
    if (!time.isValid())
        return QString();
    const int offset = time.offsetFromUtc();
    QString zone = QStringLiteral("UTC");
    if (offset != 0) {
        const int minutes = qAbs(offset) / 60;
        zone += QStringLiteral("%1%2:%3")
                    .arg(offset < 0 ? QLatin1Char('-') : QLatin1Char('+'))
                    .arg(minutes / 60, 2, 10, QLatin1Char('0'))
                    .arg(minutes % 60, 2, 10, QLatin1Char('0'));
    }
    const QString format = time.time().msec() != 0 ? QStringLiteral("yyyy-MM-dd hh:mm:ss.zzz")
                                                   : QStringLiteral("yyyy-MM-dd hh:mm:ss");
    return time.toString(format) + QLatin1Char(' ') + zone;
}
