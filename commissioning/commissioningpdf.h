#ifndef STATIONSCOPE_COMMISSIONINGPDF_H
#define STATIONSCOPE_COMMISSIONINGPDF_H

// The hand-over of a commissioning record as a PDF, for those who sign on
// paper: the cover with its signature lines, the record and its summary, as
// the workbook holds them. Drawn with QPdfWriter and QTextDocument, so it
// needs a QGuiApplication (fonts) but no widgets.

#include "workbook.h"

#include <QString>
#include <QVector>

class CommissioningRecord;
struct CommissioningCover;

class CommissioningPdf
{
public:
    // "record.xlsx" -> "record.pdf", in the same folder.
    static QString pathBeside(const QString &workbookPath);

    // rows as for CommissioningWorkbook::write(). The file is replaced only
    // when the new one is complete.
    static bool write(const QString &path, const CommissioningRecord &record,
                      const CommissioningCover &cover, QString *problem,
                      const QVector<int> &rows = QVector<int>());
    static bool write(const QString &path, const CommissioningRecord &record,
                      const CommissioningCover &cover, QString *problem, const QVector<int> &rows,
                      PaperSize paper);
};

// The workbook and the PDF beside it, as the window's Export Record... and
// `commission --out` write them.
class CommissioningHandOver
{
public:
    static bool write(const QString &workbookPath, const CommissioningRecord &record,
                      const CommissioningCover &cover, QString *problem,
                      const QVector<int> &rows = QVector<int>());
};

#endif
