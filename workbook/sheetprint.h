#pragma once

// What a sheet looks like on screen and paper once written: widths, cell formats, page setup.
// Internal to the workbook library.

#include "workbook.h"

#include <QDateTime>
#include <QHash>
#include <QMap>

#include <xlsxwriter.h>

namespace SheetPrint {

// Excel's width of a column nobody sized.
constexpr double DefaultColumnWidth = 8.43;

// The width in characters a cell's value needs, a bold one a little more.
double contentWidth(const QVariant &value, bool bold);
// The columns' widths: those set, else from the content where the layout asks for it: texts
// within the layout's bounds, numbers and times whole.
QMap<int, double> columnWidths(const QMap<int, double> &set, const SheetLayout &layout,
                               const QMap<int, double> &texts, const QMap<int, double> &unbroken);
bool landscape(const SheetLayout &layout, const QMap<int, double> &widths, int lastColumn);

// The wall-clock time of a date-time in its own zone, and the number format naming the zone.
lxw_datetime wallClock(const QDateTime &time);
QString dateTimeFormat(const QDateTime &time);

struct Heading
{
    QString project;
    QString ied;
};

// Page setup, printed header and footer, print titles, frozen panes and autofilter.
lxw_error apply(lxw_worksheet *sheet, const SheetLayout &layout, bool landscape, PaperSize paper,
                const Heading &heading, int lastRow, int lastColumn);

// Cell formats made once per workbook, by what they combine.
class Formats
{
public:
    explicit Formats(lxw_workbook *book) : book(book) {}
    lxw_format *format(WorkbookWriter::CellStyle style, bool wrap, const QString &numberFormat);

private:
    lxw_workbook *book;
    QHash<QString, lxw_format *> made;
};

} // namespace SheetPrint
