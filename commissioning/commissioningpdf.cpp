#include "commissioningpdf.h"

#include "commissioningrecord.h"
#include "commissioningworkbook.h"

#include <QAbstractTextDocumentLayout>
#include <QDir>
#include <QFileInfo>
#include <QFontDatabase>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QSaveFile>
#include <QTextDocument>
#include <QTextOption>

namespace {

constexpr int Resolution = 300;
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

// Two captions with their values a row, so that the cover fits its page.
QString twoColumnCaptionTable(const QList<QPair<QString, QVariant>> &lines)
{
    QString html = TableStart;
    const int half = (lines.size() + 1) / 2;
    for (int row = 0; row < half; ++row) {
        html += QStringLiteral("<tr>") + captionCells(lines.at(row));
        if (row + half < lines.size())
            html += captionCells(lines.at(row + half));
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

// Shares of the page width by what the columns hold, within bounds, so that no header is
// broken inside a word and a long reference does not squeeze the rest.
QVector<double> columnShares(const CommissioningRecord &record, const QVector<int> &rows)
{
    // A time takes two lines, date above clock; longer texts wrap.
    constexpr int MaxCharacters = 24;
    QVector<double> needed(CommissioningRecord::ColumnCount, 0);
    for (int column = 0; column < CommissioningRecord::ColumnCount; ++column) {
        const QStringList words =
            record.headerData(column, Qt::Horizontal).toString().split(QLatin1Char(' '));
        for (const QString &word : words)
            needed[column] = qMax(needed[column], double(word.size()) * 1.7 + 2);
    }
    for (const int row : rows) {
        for (int column = 0; column < CommissioningRecord::ColumnCount; ++column) {
            const int length = recordText(record, row, column).size();
            needed[column] = qMax(needed[column], qMin(length, MaxCharacters) * 1.15);
        }
    }
    double total = 0;
    for (double &width : needed) {
        width += 1;
        total += width;
    }
    for (double &width : needed)
        width = width * 100 / total;
    return needed;
}

QString recordHtml(const CommissioningRecord &record, const QVector<int> &rows)
{
    QString html = QStringLiteral(
        "<h2 style=\"page-break-before: always\">Record</h2>"
        "<table width=\"100%\" cellspacing=\"0\" cellpadding=\"2\" border=\"1\" "
        "style=\"border-style: solid; border-color: #808080; font-size: 6pt\"><thead><tr>");
    const QVector<double> shares = columnShares(record, rows);
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
    return QStringLiteral("<h2 style=\"page-break-before: always\">Summary</h2>") +
           captionTable(lines + filterLines);
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

} // namespace

QString CommissioningPdf::pathBeside(const QString &workbookPath)
{
    const QFileInfo info(workbookPath);
    return info.dir().filePath(info.completeBaseName() + QStringLiteral(".pdf"));
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
    QTextDocument document;
    QFont font = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
    font.setPointSizeF(9);
    document.setDefaultFont(font);
    QTextOption wrapping;
    wrapping.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    document.setDefaultTextOption(wrapping);
    document.setHtml(coverHtml(cover, summary, order.size()) + recordHtml(record, order) +
                     summaryHtml(summary, CommissioningWorkbook::filterLines(
                                              cover, record.rowCount(), order.size())));
    document.documentLayout()->setPaintDevice(&writer);
    document.setPageSize(body.size());

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
    const int pages = document.pageCount();
    for (int page = 0; page < pages; ++page) {
        if (page > 0)
            writer.newPage();
        painter.setFont(bandFont);
        painter.drawText(header, Qt::AlignLeft | Qt::AlignVCenter, heading);
        painter.drawText(header, Qt::AlignHCenter | Qt::AlignVCenter,
                         QStringLiteral("Commissioning record"));
        painter.drawText(header, Qt::AlignRight | Qt::AlignVCenter, printed);
        painter.drawText(footer, Qt::AlignHCenter | Qt::AlignVCenter,
                         QStringLiteral("page %1 of %2").arg(page + 1).arg(pages));

        painter.save();
        const QRectF visible(0, page * body.height(), body.width(), body.height());
        painter.translate(body.left(), body.top() - visible.top());
        painter.setClipRect(visible);
        QAbstractTextDocumentLayout::PaintContext context;
        context.clip = visible;
        document.documentLayout()->draw(&painter, context);
        painter.restore();
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
