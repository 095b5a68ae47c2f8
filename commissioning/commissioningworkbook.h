#ifndef STATIONSCOPE_COMMISSIONINGWORKBOOK_H
#define STATIONSCOPE_COMMISSIONINGWORKBOOK_H

// The hand-over of a commissioning record as an .xlsx workbook: a cover
// sheet, the record and its summary.

#include <QDateTime>
#include <QList>
#include <QPair>
#include <QString>
#include <QVariant>
#include <QVector>

class CommissioningRecord;
struct CommissioningSummary;
class QStandardItemModel;

struct CommissioningCover
{
    QString project;
    QString ied;
    QString address;
    // The name plate's configuration revision (LLN0.NamPlt.configRev).
    QString configurationRevision;
    QDateTime date;
    QString tester;
    QString witness;
    // The SCL file the project was made from, and its header's revision.
    QString sclFile;
    QString sclRevision;
    // The name plate of the device tested (LPHD PhyNam), empty when unread.
    QString vendor;
    QString model;
    QString serialNumber;
    // When the record's sessions started and ended, invalid before any ran.
    QDateTime testingStarted;
    QDateTime testingEnded;
    // Set when the Record sheet holds only the rows a filter shows: the
    // filter's description ("Show: failed", "Filter: XCBR").
    QString rowFilter;

    // Project, IED, the project's address and configuration revision from a
    // project's SCL model (its connection node); date now, no tester.
    static CommissioningCover fromProject(const QStandardItemModel &scl,
                                          const QString &projectPath);
    // The IED address the project names: "host", or "host:port" for another
    // port than 102; empty when it names none.
    static QString projectAddress(const QStandardItemModel &scl);
    // The login name of whoever runs the program.
    static QString loginName();
};

class CommissioningWorkbook
{
public:
    static const QString CoverSheet;
    static const QString RecordSheet;
    static const QString SummarySheet;

    // rows: the record's rows in the order to write them (as the window's
    // table sorts and filters them); empty writes every row in record order.
    static bool write(const QString &path, const CommissioningRecord &record,
                      const CommissioningCover &cover, QString *problem,
                      const QVector<int> &rows = QVector<int>());

    // "All passed", "2 failed, 3 not tested"; "No rows" for an empty record.
    static QString overallResult(const CommissioningSummary &summary);
    // The cover's lines, caption and value (numbers as numbers, times as date-times in the
    // zone to show), as the workbook and the PDF print them. exportedRows is how many rows
    // the hand-over holds.
    static QList<QPair<QString, QVariant>> coverLines(const CommissioningCover &cover,
                                                      const CommissioningSummary &summary,
                                                      int exportedRows);
    // What the Summary adds when the hand-over holds only some of the rows; empty otherwise.
    static QList<QPair<QString, QVariant>> filterLines(const CommissioningCover &cover,
                                                       int recordRows, int exportedRows);
    // The captions of the cover's signature lines.
    static QStringList signatureCaptions();
    // "2026-12-07 16:30:00 UTC+01:00": a time with its zone, as the workbook shows it.
    static QString zonedText(const QDateTime &time);
};

#endif
