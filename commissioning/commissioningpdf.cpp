#include "commissioningpdf.h"

#include "commissioningrecord.h"
#include "commissioningworkbook.h"

#include <QAbstractTextDocumentLayout>
#include <QDir>
#include <QFontDatabase>
#include <QFontMetricsF>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QSaveFile>
#include <QTextDocument>
#include <QTextFrame>
#include <QTextOption>
#include <QTextTable>

namespace {

constexpr int Resolution = 300;
constexpr double TablePointSize = 6;
// Beyond this a cell's text wraps, and a word longer than the other breaks anywhere.
constexpr int TableCellCharacters = 24;
constexpr int TableWordCharacters = 12;
// Millimetres. Landscape pages go into a binder by their long (top) edge.
const QMarginsF PageMargins(12, 22, 12, 10);
constexpr double BandHeight = 6;
constexpr double BandGap = 2;

QString escaped(const QString &text)
{
    return text.toHtmlEscaped();
}

QString cellText(const QVariant &value)
{
    if (value.userType() == QMetaType::QDateTime)
        return CommissioningWorkbook::zonedText(value.toDateTime());
    return value.toString();
}

QString captionCells(const QPair<QString, QVariant> &line)
{
    return QStringLiteral("<td bgcolor=\"#e0e0e0\"><b>%1</b></td><td>%2</td>")
        .arg(escaped(line.first), escaped(cellText(line.second)));
}

const QString TableStart = QStringLiteral(
    "<table cellspacing=\"0\" cellpadding=\"3\" border=\"1\" style=\"border-style: solid; "
    "border-color: #808080\">");

QString captionTable(const QList<QPair<QString, QVariant>> &lines)
{
    QString html = TableStart;
    for (const auto &line : lines)
        html += QStringLiteral("<tr>%1</tr>").arg(captionCells(line));
    return html + QStringLiteral("</table>");
}

// Two captions with their values a row, so that the cover fits its page: the lines before
// the IED's on the left, the device, the testing and the people on the right.
QString twoColumnCaptionTable(const QList<QPair<QString, QVariant>> &lines)
{
    int split = (lines.size() + 1) / 2;
    for (int i = 0; i < lines.size(); ++i) {
        if (lines.at(i).first == QLatin1String("IED"))
            split = i;
    }
    const QList<QPair<QString, QVariant>> left = lines.mid(0, split);
    const QList<QPair<QString, QVariant>> right = lines.mid(split);
    QString html = TableStart;
    for (int row = 0; row < qMax(left.size(), right.size()); ++row) {
        html += QStringLiteral("<tr>");
        html +=
            row < left.size() ? captionCells(left.at(row)) : QStringLiteral("<td></td><td></td>");
        if (row < right.size())
            html += captionCells(right.at(row));
        html += QStringLiteral("</tr>");
    }
    return html + QStringLiteral("</table>");
}

QString coverHtml(const CommissioningCover &cover, const CommissioningSummary &summary,
                  int exportedRows)
{
    QString html = QStringLiteral("<h1>Commissioning record</h1>"
                                  "<p style=\"font-size: 14pt\"><b>Result: %1</b></p>")
                       .arg(escaped(CommissioningWorkbook::overallResult(summary)));
    // The result stands above the table.
    html += twoColumnCaptionTable(
        CommissioningWorkbook::coverLines(cover, summary, exportedRows).mid(1));
    html += QStringLiteral("<p></p><table cellspacing=\"0\" cellpadding=\"6\">");
    const QString line = QString(40, QLatin1Char('_'));
    const QString dateLine = QString(16, QLatin1Char('_'));
    for (const QString &caption : CommissioningWorkbook::signatureCaptions()) {
        html += QStringLiteral("<tr><td><br><br>%1</td><td><br><br>%2</td>"
                               "<td><br><br>Date</td><td><br><br>%3</td></tr>")
                    .arg(escaped(caption), line, dateLine);
    }
    return html + QStringLiteral("</table>");
}

// What a cell of the record shows, its times with their zone.
QString recordText(const CommissioningRecord &record, int row, int column)
{
    const QModelIndex index = record.index(row, column);
    switch (column) {
    case CommissioningRecord::LastChangeColumn:
    case CommissioningRecord::FirstSeenColumn:
    case CommissioningRecord::LastSeenColumn:
    case CommissioningRecord::TouchedColumn:
        return CommissioningWorkbook::zonedText(
            index.data(CommissioningRecord::SortRole).toDateTime().toUTC());
    default:
        return index.data().toString();
    }
}

// Shares of the page width by what the columns hold: every column gets its header's longest
// word and its cells' words up to a length (longer ones, such as references, break
// anywhere), then what is left goes to the columns whose texts would wrap.
QVector<double> columnShares(const CommissioningRecord &record, const QVector<int> &rows,
                             const QFont &font, QPaintDevice *device, qreal width)
{
    QFont bold = font;
    bold.setBold(true);
    const QFontMetricsF plainMetrics(font, device);
    const QFontMetricsF boldMetrics(bold, device);
    const qreal character = plainMetrics.averageCharWidth();
    const qreal padding = character * 2;
    const qreal longestText = character * TableCellCharacters;
    const qreal longestWord = character * TableWordCharacters;
    auto widest = [](const QFontMetricsF &metrics, const QString &text) {
        qreal widest = 0;
        for (const QString &word : text.split(QLatin1Char(' ')))
            widest = qMax(widest, metrics.horizontalAdvance(word));
        return widest;
    };
    const int columns = CommissioningRecord::ColumnCount;
    QVector<double> least(columns, 0);
    QVector<double> wanted(columns, 0);
    for (int column = 0; column < columns; ++column) {
        least[column] = widest(boldMetrics, record.headerData(column, Qt::Horizontal).toString());
        wanted[column] = least[column];
    }
    for (const int row : rows) {
        for (int column = 0; column < columns; ++column) {
            const QString text = recordText(record, row, column);
            least[column] = qMax(least[column], qMin(widest(plainMetrics, text), longestWord));
            wanted[column] =
                qMax(wanted[column], qMin(plainMetrics.horizontalAdvance(text), longestText));
        }
    }
    double leastTotal = 0;
    double wantedTotal = 0;
    for (int column = 0; column < columns; ++column) {
        least[column] += padding;
        wanted[column] = qMax(wanted[column] + padding, least[column]);
        leastTotal += least[column];
        wantedTotal += wanted[column];
    }
    QVector<double> shares(columns);
    const double spare = qMax(0.0, width - leastTotal);
    const double extra = wantedTotal - leastTotal;
    for (int column = 0; column < columns; ++column) {
        const double given =
            wantedTotal <= width
                ? wanted[column]
                : least[column] +
                      (extra > 0 ? (wanted[column] - least[column]) * spare / extra : 0);
        shares[column] = given;
    }
    double total = 0;
    for (const double given : shares)
        total += given;
    for (double &given : shares)
        given = given * 100 / total;
    return shares;
}

QString recordHtml(const CommissioningRecord &record, const QVector<int> &rows,
                   const QVector<double> &shares)
{
    QString html =
        QStringLiteral("<h2>Record</h2>"
                       "<table width=\"100%\" cellspacing=\"0\" cellpadding=\"2\" border=\"1\" "
                       "style=\"border-style: solid; border-color: #808080\"><thead><tr>");
    for (int column = 0; column < CommissioningRecord::ColumnCount; ++column) {
        html += QStringLiteral("<th bgcolor=\"#c0c0c0\" width=\"%1%\">%2</th>")
                    .arg(shares.at(column), 0, 'f', 1)
                    .arg(escaped(record.headerData(column, Qt::Horizontal).toString()));
    }
    html += QStringLiteral("</tr></thead>");
    for (const int row : rows) {
        html += QStringLiteral("<tr>");
        for (int column = 0; column < CommissioningRecord::ColumnCount; ++column)
            html += QStringLiteral("<td>%1</td>").arg(escaped(recordText(record, row, column)));
        html += QStringLiteral("</tr>");
    }
    return html + QStringLiteral("</table>");
}

QString summaryHtml(const CommissioningSummary &summary,
                    const QList<QPair<QString, QVariant>> &filterLines)
{
    QList<QPair<QString, QVariant>> lines;
    for (const QString &line : summary.lines()) {
        const int colon = line.indexOf(QStringLiteral(": "));
        lines.append(colon < 0 ? qMakePair(line, QVariant())
                               : qMakePair(line.left(colon), QVariant(line.mid(colon + 2))));
    }
    return QStringLiteral("<h2>Summary</h2>") + captionTable(lines + filterLines);
}

QString headingText(const CommissioningCover &cover)
{
    QStringList named;
    if (!cover.project.isEmpty())
        named << cover.project;
    if (!cover.ied.isEmpty())
        named << QStringLiteral("IED ") + cover.ied;
    return named.join(QStringLiteral(", "));
}

// A band of a document drawn at a height of the page's body.
struct Slice
{
    const QTextDocument *document = nullptr;
    qreal top = 0;
    qreal height = 0;
    qreal at = 0;
};
using Page = QVector<Slice>;

QTextTable *firstTable(const QTextDocument &document)
{
    for (QTextFrame *frame : document.rootFrame()->childFrames()) {
        if (auto *table = qobject_cast<QTextTable *>(frame))
            return table;
    }
    return nullptr;
}

// Pages of a document laid out without pages, cut between the rows of its table so that
// every row is whole on one page, below the table's header rows repeated. A row taller
// than a page is cut.
QVector<Page> tablePages(const QTextDocument &document, int headerRows, qreal pageHeight)
{
    QAbstractTextDocumentLayout *layout = document.documentLayout();
    const qreal end = layout->documentSize().height();
    QTextTable *table = firstTable(document);
    QVector<Page> pages;
    if (!table) {
        for (qreal top = 0; top < end; top += pageHeight)
            pages.append({Slice{&document, top, pageHeight, 0}});
        return pages;
    }
    // Row r's band starts halfway between the content of row r - 1 and its own.
    const int rows = table->rows();
    QVector<qreal> contentTop(rows, end);
    QVector<qreal> contentBottom(rows, 0);
    for (int row = 0; row < rows; ++row) {
        for (int column = 0; column < table->columns(); ++column) {
            const QTextTableCell cell = table->cellAt(row, column);
            if (!cell.isValid() || cell.row() != row)
                continue;
            contentTop[row] =
                qMin(contentTop[row],
                     layout->blockBoundingRect(cell.firstCursorPosition().block()).top());
            contentBottom[row] =
                qMax(contentBottom[row],
                     layout->blockBoundingRect(cell.lastCursorPosition().block()).bottom());
        }
    }
    const QRectF frame = layout->frameBoundingRect(table);
    QVector<qreal> bands(rows + 1);
    bands[0] = frame.top();
    for (int row = 1; row < rows; ++row)
        bands[row] = (contentBottom[row - 1] + contentTop[row]) / 2;
    bands[rows] = qMax(frame.bottom(), end);

    const int header = qBound(0, headerRows, rows);
    int next = header;
    bool first = true;
    do {
        const Slice heading{&document, first ? 0 : bands[0], bands[header] - (first ? 0 : bands[0]),
                            0};
        const qreal room = pageHeight - heading.height;
        int last = next;
        while (last < rows && bands[last + 1] - bands[next] <= room)
            ++last;
        if (last == next && next < rows)
            ++last;
        pages.append({heading, Slice{&document, bands[next], qMin(bands[last] - bands[next], room),
                                     heading.height}});
        next = last;
        first = false;
    } while (next < rows);
    return pages;
}

void prepare(QTextDocument &document, QPaintDevice *device, const QFont &font, qreal width,
             const QString &html)
{
    document.documentLayout()->setPaintDevice(device);
    document.setDefaultFont(font);
    QTextOption wrapping;
    wrapping.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    document.setDefaultTextOption(wrapping);
    document.setDocumentMargin(0);
    document.setHtml(html);
    document.setTextWidth(width);
}

} // namespace

QString CommissioningPdf::pathBeside(const QString &workbookPath)
{
    const QString suffix = QStringLiteral(".xlsx");
    if (workbookPath.endsWith(suffix, Qt::CaseInsensitive))
        return workbookPath.left(workbookPath.size() - suffix.size()) + QStringLiteral(".pdf");
    return workbookPath + QStringLiteral(".pdf");
}

bool CommissioningPdf::write(const QString &path, const CommissioningRecord &record,
                             const CommissioningCover &cover, QString *problem,
                             const QVector<int> &rows)
{
    return write(path, record, cover, problem, rows, paperSizeFor(QLocale::system()));
}

bool CommissioningPdf::write(const QString &path, const CommissioningRecord &record,
                             const CommissioningCover &cover, QString *problem,
                             const QVector<int> &rows, PaperSize paper)
{
    const QString shown = QDir::toNativeSeparators(path);
    QVector<int> order = rows;
    if (order.isEmpty()) {
        for (int row = 0; row < record.rowCount(); ++row)
            order.append(row);
    }
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        *problem = QStringLiteral("%1: %2").arg(shown, file.errorString());
        return false;
    }

    QPdfWriter writer(&file);
    writer.setResolution(Resolution);
    writer.setCreator(QStringLiteral("Stationscope"));
    writer.setTitle(QStringLiteral("Commissioning record %1").arg(cover.ied));
    writer.setPageLayout(
        QPageLayout(QPageSize(paper == PaperSize::Letter ? QPageSize::Letter : QPageSize::A4),
                    QPageLayout::Landscape, PageMargins, QPageLayout::Millimeter));
    const QRect area = writer.pageLayout().paintRectPixels(Resolution);
    const double pixelsPerMm = Resolution / 25.4;
    const int band = qRound(BandHeight * pixelsPerMm);
    const int gap = qRound(BandGap * pixelsPerMm);
    const QRect header(0, 0, area.width(), band);
    const QRect footer(0, area.height() - band, area.width(), band);
    const QRectF body(0, band + gap, area.width(), area.height() - 2 * (band + gap));

    const CommissioningSummary summary = record.summary();
    QFont font = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
    font.setPointSizeF(9);
    QFont tableFont = font;
    tableFont.setPointSizeF(TablePointSize);
    QTextDocument coverPage;
    prepare(coverPage, &writer, font, body.width(), coverHtml(cover, summary, order.size()));
    QTextDocument records;
    prepare(
        records, &writer, tableFont, body.width(),
        recordHtml(record, order, columnShares(record, order, tableFont, &writer, body.width())));
    QTextDocument summaryPage;
    prepare(summaryPage, &writer, font, body.width(),
            summaryHtml(summary, CommissioningWorkbook::filterLines(cover, record.rowCount(),
                                                                    order.size())));
    QVector<Page> pages = tablePages(coverPage, 0, body.height());
    pages += tablePages(records, 1, body.height());
    pages += tablePages(summaryPage, 0, body.height());

    QPainter painter;
    if (!painter.begin(&writer)) {
        *problem = QStringLiteral("%1: the PDF could not be started").arg(shown);
        return false;
    }
    QFont bandFont = font;
    bandFont.setPointSizeF(8);
    const QString heading = headingText(cover);
    const QString printed =
        QStringLiteral("Printed %1").arg(QDate::currentDate().toString(Qt::ISODate));
    for (int page = 0; page < pages.size(); ++page) {
        if (page > 0)
            writer.newPage();
        painter.setFont(bandFont);
        painter.drawText(header, Qt::AlignLeft | Qt::AlignVCenter, heading);
        painter.drawText(header, Qt::AlignHCenter | Qt::AlignVCenter,
                         QStringLiteral("Commissioning record"));
        painter.drawText(header, Qt::AlignRight | Qt::AlignVCenter, printed);
        painter.drawText(footer, Qt::AlignHCenter | Qt::AlignVCenter,
                         QStringLiteral("page %1 of %2").arg(page + 1).arg(pages.size()));
        for (const Slice &slice : pages.at(page)) {
            if (slice.height <= 0)
                continue;
            painter.save();
            const QRectF visible(0, slice.top, body.width(), slice.height);
            painter.translate(body.left(), body.top() + slice.at - slice.top);
            painter.setClipRect(visible);
            QAbstractTextDocumentLayout::PaintContext context;
            context.clip = visible;
            slice.document->documentLayout()->draw(&painter, context);
            painter.restore();
        }
    }
    if (!painter.end() || !file.commit()) {
        *problem = QStringLiteral("%1: %2").arg(shown, file.errorString());
        return false;
    }
    return true;
}

bool CommissioningHandOver::write(const QString &workbookPath, const CommissioningRecord &record,
                                  const CommissioningCover &cover, QString *problem,
                                  const QVector<int> &rows)
{
    return CommissioningWorkbook::write(workbookPath, record, cover, problem, rows) &&
           CommissioningPdf::write(CommissioningPdf::pathBeside(workbookPath), record, cover,
                                   problem, rows);
}
