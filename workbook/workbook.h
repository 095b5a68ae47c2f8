#pragma once

#include <QHash>
#include <QLocale>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <memory>
#include <vector>

// Excel's own bounds; rows and columns are 1-based everywhere in this header.
constexpr int WorkbookMaxRows = 1048576;
constexpr int WorkbookMaxColumns = 16384;

enum class PaperSize { A4, Letter };

// Letter where the locale measures in US units or its country prints on Letter, A4 elsewhere.
PaperSize paperSizeFor(const QLocale &locale);

// How a sheet is shown and printed. The reader ignores all of it.
struct SheetLayout
{
    enum class Orientation { Automatic, Portrait, Landscape };

    // Rows frozen on screen and repeated on every printed page; the last of them heads the
    // autofilter.
    int headerRows = 0;
    // Columns frozen on screen, for sheets whose first column names the rows.
    int frozenColumns = 0;
    bool autoFilter = false;
    // Automatic turns the page when the columns would not fit a portrait page's width.
    Orientation orientation = Orientation::Automatic;
    // The whole sheet on one page (a cover); otherwise all columns fit the page width and the
    // rows take as many pages as they need.
    bool onePage = false;
    bool printGridlines = true;
    // Each column as wide as its longest cell, within these bounds (characters); longer texts
    // wrap. A width set with setColumnWidth() wins.
    bool widthsFromContent = false;
    double minColumnWidth = 6;
    double maxColumnWidth = 50;
};

// Collects sheets and cells in memory and writes them as one .xlsx file on saveAs().
// Every sheet prints with the project and IED in its header, the sheet name, the print date
// and its page number, on the paper of the system's locale, with a margin left for a binder.
class WorkbookWriter
{
public:
    // SignatureLine: a cell ruled below, to sign on paper.
    enum class CellStyle { Plain, Header, Title, SignatureLine };

    WorkbookWriter();
    ~WorkbookWriter();
    WorkbookWriter(const WorkbookWriter &) = delete;
    WorkbookWriter &operator=(const WorkbookWriter &) = delete;

    // Adds a sheet at the end and selects it. Fails on an invalid or duplicate name.
    bool addSheet(const QString &name);
    bool selectSheet(const QString &name);
    QString currentSheet() const;
    QStringList sheetNames() const;

    // Numbers become numeric cells, booleans boolean cells, date-times date-time cells shown
    // in their own zone ("2026-12-07 15:30:00 UTC", "... UTC+01:00"), anything else text;
    // a null or empty value leaves the cell empty (but still styled when not Plain).
    bool write(int row, int column, const QVariant &value, CellStyle style = CellStyle::Plain);
    // Width in characters, as Excel counts it.
    bool setColumnWidth(int column, double width);
    // Height in points.
    bool setRowHeight(int row, double height);
    bool setLayout(const SheetLayout &layout);
    SheetLayout layout() const;

    // Named in the printed header of every sheet.
    void setPrintHeading(const QString &project, const QString &ied);
    // The system locale's paper unless set.
    void setPaperSize(PaperSize paper) { m_paper = paper; }
    PaperSize paperSize() const { return m_paper; }
    bool setActiveSheet(const QString &name);

    bool saveAs(const QString &path);
    QString errorString() const { return m_error; }

private:
    struct Sheet;
    Sheet *current();
    bool fail(const QString &message);

    std::vector<std::unique_ptr<Sheet>> m_sheets;
    int m_current = -1;
    int m_active = 0;
    QString m_project;
    QString m_ied;
    PaperSize m_paper;
    QString m_error;
};

// Reads cell values of an .xlsx file: one sheet at a time, streamed and bounded.
class WorkbookReader
{
public:
    struct Limits
    {
        qint64 maxSheetBytes = 256LL * 1024 * 1024;
        qint64 maxSharedStringsBytes = 64LL * 1024 * 1024;
        qint64 maxPartBytes = 16LL * 1024 * 1024; // workbook.xml and the relationship parts
        qint64 maxCells = 5000000;
    };

    WorkbookReader();
    ~WorkbookReader();
    WorkbookReader(const WorkbookReader &) = delete;
    WorkbookReader &operator=(const WorkbookReader &) = delete;

    void setLimits(const Limits &limits) { m_limits = limits; }
    Limits limits() const { return m_limits; }

    bool open(const QString &path);
    void close();
    bool isOpen() const { return m_zip != nullptr; }

    QStringList sheetNames() const;
    // Name of the sheet the workbook opens on (workbookView activeTab).
    QString activeSheet() const;
    // Loads all cells of the sheet; the previously selected sheet is dropped.
    bool selectSheet(const QString &name);
    QString currentSheet() const { return m_currentSheet; }

    struct Range
    {
        int firstRow = 0;
        int firstColumn = 0;
        int lastRow = 0;
        int lastColumn = 0;
        bool isEmpty() const { return lastRow == 0; }
    };

    // Computed from the cells holding a value, whatever the file declares; 0 when empty.
    Range dimension() const { return {m_firstRow, m_firstColumn, m_lastRow, m_lastColumn}; }
    int firstRow() const { return m_firstRow; }
    int firstColumn() const { return m_firstColumn; }
    int lastRow() const { return m_lastRow; }
    int lastColumn() const { return m_lastColumn; }
    int cellCount() const { return m_cells.size(); }

    // Text, qlonglong (integral numbers), double, bool; formulas give their cached value,
    // errors their text ("#N/A"); an empty cell gives a null QVariant.
    QVariant read(int row, int column) const;

    QString errorString() const { return m_error; }

    // "AB12" -> row 12, column 28; false when malformed or beyond Excel's bounds.
    static bool parseCellReference(const QString &reference, int *row, int *column);
    static bool parseCellReference(const QChar *reference, int size, int *row, int *column);

private:
    struct SheetEntry
    {
        QString name;
        QString part;
    };
    bool fail(const QString &message);
    bool parseWorkbook(const QString &workbookPart);
    bool loadSharedStrings(const QString &part);
    bool loadSheet(const SheetEntry &sheet);
    void clearSheet();

    void *m_zip = nullptr;
    QString m_path;
    Limits m_limits;
    std::vector<SheetEntry> m_sheets;
    int m_activeTab = 0;
    QStringList m_sharedStrings;
    QHash<quint64, QVariant> m_cells;
    QString m_currentSheet;
    int m_firstRow = 0;
    int m_firstColumn = 0;
    int m_lastRow = 0;
    int m_lastColumn = 0;
    QString m_error;
};
