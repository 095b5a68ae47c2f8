// Workbooks written and read back, hand-built workbooks in the shapes other producers use,
// hostile files, and the exchange with openpyxl when it is installed.

#include "packagepart.h"
#include "workbook.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <unzip.h>
#include <zip.h>
#include <zlib.h>

namespace {

using Entries = QList<QPair<QString, QByteArray>>;

bool writeZip(const QString &path, const Entries &entries)
{
    zipFile zip = zipOpen64(QFile::encodeName(path).constData(), APPEND_STATUS_CREATE);
    if (!zip)
        return false;
    bool ok = true;
    for (const auto &entry : entries) {
        zip_fileinfo info = {};
        ok =
            ok &&
            zipOpenNewFileInZip64(zip, entry.first.toUtf8().constData(), &info, nullptr, 0, nullptr,
                                  0, nullptr, Z_DEFLATED, Z_DEFAULT_COMPRESSION, 0) == ZIP_OK &&
            zipWriteInFileInZip(zip, entry.second.constData(),
                                static_cast<unsigned>(entry.second.size())) == ZIP_OK &&
            zipCloseFileInZip(zip) == ZIP_OK;
    }
    return zipClose(zip, nullptr) == ZIP_OK && ok;
}

// Stores already deflated data under a size of our choosing, as a crafted archive would.
bool writeZipWithDeclaredSize(const QString &path, const Entries &entries, const QString &name,
                              const QByteArray &content, quint64 declaredSize)
{
    uLong bound = compressBound(static_cast<uLong>(content.size()));
    QByteArray compressed(static_cast<int>(bound), Qt::Uninitialized);
    if (compress2(reinterpret_cast<Bytef *>(compressed.data()), &bound,
                  reinterpret_cast<const Bytef *>(content.constData()),
                  static_cast<uLong>(content.size()), Z_BEST_COMPRESSION) != Z_OK)
        return false;
    // Drop the zlib header and the Adler-32 trailer: a zip entry holds raw deflate data.
    const QByteArray raw = compressed.mid(2, static_cast<int>(bound) - 6);
    const uLong crc = crc32(0, reinterpret_cast<const Bytef *>(content.constData()),
                            static_cast<uInt>(content.size()));

    zipFile zip = zipOpen64(QFile::encodeName(path).constData(), APPEND_STATUS_CREATE);
    if (!zip)
        return false;
    bool ok = true;
    for (const auto &entry : entries) {
        zip_fileinfo info = {};
        ok = ok &&
             zipOpenNewFileInZip(zip, entry.first.toUtf8().constData(), &info, nullptr, 0, nullptr,
                                 0, nullptr, Z_DEFLATED, Z_DEFAULT_COMPRESSION) == ZIP_OK &&
             zipWriteInFileInZip(zip, entry.second.constData(),
                                 static_cast<unsigned>(entry.second.size())) == ZIP_OK &&
             zipCloseFileInZip(zip) == ZIP_OK;
    }
    zip_fileinfo info = {};
    ok = ok &&
         zipOpenNewFileInZip2(zip, name.toUtf8().constData(), &info, nullptr, 0, nullptr, 0,
                              nullptr, Z_DEFLATED, Z_BEST_COMPRESSION, 1) == ZIP_OK &&
         zipWriteInFileInZip(zip, raw.constData(), static_cast<unsigned>(raw.size())) == ZIP_OK &&
         zipCloseFileInZipRaw64(zip, declaredSize, crc) == ZIP_OK;
    return zipClose(zip, nullptr) == ZIP_OK && ok;
}

const QByteArray mainNs = "http://schemas.openxmlformats.org/spreadsheetml/2006/main";
const QByteArray relNs = "http://schemas.openxmlformats.org/officeDocument/2006/relationships";

QByteArray sheetXml(const QByteArray &sheetData, const QByteArray &before = QByteArray())
{
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<worksheet xmlns=\"" + mainNs + "\">" +
           before + "<sheetData>" + sheetData + "</sheetData></worksheet>";
}

// A workbook laid out unlike libxlsxwriter's: other part names, an absolute target, prefixes.
Entries handBuiltWorkbook(const QByteArray &firstSheet, const QByteArray &sharedStrings = {})
{
    Entries entries;
    entries << qMakePair(QStringLiteral("[Content_Types].xml"),
                         QByteArray("<?xml version=\"1.0\"?><Types "
                                    "xmlns=\"http://schemas.openxmlformats.org/package/2006/"
                                    "content-types\"/>"));
    entries << qMakePair(
        QStringLiteral("_rels/.rels"),
        QByteArray("<?xml version=\"1.0\"?><Relationships "
                   "xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
                   "<Relationship Id=\"rId1\" Type=\"" +
                   relNs +
                   "/officeDocument\" "
                   "Target=\"book/main.xml\"/></Relationships>"));
    entries << qMakePair(QStringLiteral("book/main.xml"),
                         QByteArray("<?xml version=\"1.0\"?><x:workbook xmlns:x=\"" + mainNs +
                                    "\" xmlns:rel=\"" + relNs +
                                    "\"><x:bookViews><x:workbookView activeTab=\"1\"/>"
                                    "</x:bookViews><x:sheets>"
                                    "<x:sheet name=\"Data\" sheetId=\"7\" rel:id=\"rIdB\"/>"
                                    "<x:sheet name=\"Other\" sheetId=\"3\" rel:id=\"rIdA\"/>"
                                    "</x:sheets></x:workbook>"));
    QByteArray rels = "<?xml version=\"1.0\"?><Relationships "
                      "xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
                      "<Relationship Id=\"rIdA\" Type=\"" +
                      relNs +
                      "/worksheet\" "
                      "Target=\"/book/tabs/second.xml\"/>"
                      "<Relationship Id=\"rIdB\" Type=\"" +
                      relNs +
                      "/worksheet\" "
                      "Target=\"tabs/first.xml\"/>";
    if (!sharedStrings.isNull())
        rels += "<Relationship Id=\"rIdS\" Type=\"" + relNs +
                "/sharedStrings\" "
                "Target=\"texts.xml\"/>";
    rels += "</Relationships>";
    entries << qMakePair(QStringLiteral("book/_rels/main.xml.rels"), rels);
    entries << qMakePair(QStringLiteral("book/tabs/first.xml"), firstSheet);
    entries << qMakePair(QStringLiteral("book/tabs/second.xml"),
                         sheetXml("<row r=\"1\"><c r=\"A1\"><v>1</v></c></row>"));
    if (!sharedStrings.isNull())
        entries << qMakePair(QStringLiteral("book/texts.xml"), sharedStrings);
    return entries;
}

bool hasOpenpyxl()
{
    if (!QFile::exists(QStringLiteral("/usr/bin/python3")))
        return false;
    QProcess python;
    python.start(QStringLiteral("/usr/bin/python3"),
                 {QStringLiteral("-c"), QStringLiteral("import openpyxl")});
    return python.waitForFinished(60000) && python.exitStatus() == QProcess::NormalExit &&
           python.exitCode() == 0;
}

QString runPython(const QString &script, const QStringList &arguments, bool *ok)
{
    QProcess python;
    python.start(QStringLiteral("/usr/bin/python3"),
                 QStringList{QStringLiteral("-c"), script} + arguments);
    *ok = python.waitForFinished(60000) && python.exitStatus() == QProcess::NormalExit &&
          python.exitCode() == 0;
    if (!*ok)
        return QString::fromUtf8(python.readAllStandardError());
    return QString::fromUtf8(python.readAllStandardOutput());
}

} // namespace

class TestWorkbook : public QObject
{
    Q_OBJECT

private slots:
    void roundTripKeepsValues_data();
    void roundTripKeepsValues();
    void roundTripOfManyRows();
    void sheetOrderAndActiveSheet();
    void headerFormatAndColumnWidths();
    void pageSetupAndViewReadBack_data();
    void pageSetupAndViewReadBack();
    void paperFollowsTheLocale_data();
    void paperFollowsTheLocale();
    void dateTimesShowTheirZone();
    void writerRejectsInvalidInput();
    void saveAsFailsWithTheFileNamed_data();
    void saveAsFailsWithTheFileNamed();
    void saveAsReplacesAnExistingFile();
    void saveAsOnAReadOnlyFileOrFolder();
    void parseCellReference_data();
    void parseCellReference();
    void openRejectsWhatIsNotAWorkbook_data();
    void openRejectsWhatIsNotAWorkbook();
    void selectSheetOfAMissingName();
    void readsHandBuiltWorkbook();
    void dimensionIgnoresTheDeclaredOne();
    void cellsWithoutReferences();
    void sharedStringsWithRichTextRuns();
    void malformedSheetIsAnError_data();
    void malformedSheetIsAnError();
    void declaredSizeOverTheLimitIsRejected();
    void understatedSizeDoesNotCrash();
    void cellLimitIsEnforced();
    void readsWorkbookWrittenByOpenpyxl();
    void openpyxlReadsOurWorkbook();

private:
    QTemporaryDir m_dir;
};

void TestWorkbook::roundTripKeepsValues_data()
{
    QTest::addColumn<QVariant>("written");
    QTest::addColumn<QVariant>("expected");

    QTest::newRow("text") << QVariant(QStringLiteral("LD0/LLN0"))
                          << QVariant(QStringLiteral("LD0/LLN0"));
    QTest::newRow("unicode") << QVariant(QStringLiteral("Überwachung Ω ≥ 5 – 日本"))
                             << QVariant(QStringLiteral("Überwachung Ω ≥ 5 – 日本"));
    QTest::newRow("apostrophes") << QVariant(QStringLiteral("'quoted' it's"))
                                 << QVariant(QStringLiteral("'quoted' it's"));
    QTest::newRow("looks like a formula")
        << QVariant(QStringLiteral("=SUM(A1:A2)")) << QVariant(QStringLiteral("=SUM(A1:A2)"));
    QTest::newRow("markup") << QVariant(QStringLiteral("<a & b>\"c\""))
                            << QVariant(QStringLiteral("<a & b>\"c\""));
    QTest::newRow("spaces and lines") << QVariant(QStringLiteral("  padded\nsecond\tline  "))
                                      << QVariant(QStringLiteral("  padded\nsecond\tline  "));
    QTest::newRow("escape-like text") << QVariant(QStringLiteral("_x0041_ and _x_"))
                                      << QVariant(QStringLiteral("_x0041_ and _x_"));
    QTest::newRow("control character")
        << QVariant(QStringLiteral("a\x01b")) << QVariant(QStringLiteral("a\x01b"));
    const QString longText = QString(32767, QLatin1Char('x'));
    QTest::newRow("longest text") << QVariant(longText) << QVariant(longText);
    QTest::newRow("integer") << QVariant(42) << QVariant(qlonglong(42));
    QTest::newRow("negative integer") << QVariant(-7) << QVariant(qlonglong(-7));
    QTest::newRow("large integer") << QVariant(qlonglong(1) << 40) << QVariant(qlonglong(1) << 40);
    QTest::newRow("unsigned") << QVariant(4294967295u) << QVariant(qlonglong(4294967295LL));
    QTest::newRow("double") << QVariant(3.25) << QVariant(3.25);
    QTest::newRow("negative double") << QVariant(-0.001) << QVariant(-0.001);
    QTest::newRow("true") << QVariant(true) << QVariant(true);
    QTest::newRow("false") << QVariant(false) << QVariant(false);
    QTest::newRow("empty text") << QVariant(QString()) << QVariant();
    QTest::newRow("null") << QVariant() << QVariant();
}

void TestWorkbook::roundTripKeepsValues()
{
    QFETCH(QVariant, written);
    QFETCH(QVariant, expected);
    const QString path = m_dir.filePath(QStringLiteral("roundtrip.xlsx"));

    WorkbookWriter writer;
    QVERIFY(writer.addSheet(QStringLiteral("Values")));
    QVERIFY(writer.write(1, 1, QStringLiteral("before")));
    QVERIFY2(writer.write(3, 28, written), qPrintable(writer.errorString()));
    QVERIFY(writer.write(5, 1, QStringLiteral("after")));
    QVERIFY2(writer.saveAs(path), qPrintable(writer.errorString()));

    WorkbookReader reader;
    QVERIFY2(reader.open(path), qPrintable(reader.errorString()));
    QVERIFY2(reader.selectSheet(QStringLiteral("Values")), qPrintable(reader.errorString()));
    const QVariant read = reader.read(3, 28);
    QCOMPARE(read.userType(), expected.userType());
    QCOMPARE(read, expected);
    QCOMPARE(reader.read(1, 1).toString(), QStringLiteral("before"));
    QCOMPARE(reader.read(5, 1).toString(), QStringLiteral("after"));
    QCOMPARE(reader.read(2, 1), QVariant());
    QCOMPARE(reader.lastRow(), 5);
    QCOMPARE(reader.lastColumn(), expected.isNull() ? 1 : 28);
}

void TestWorkbook::roundTripOfManyRows()
{
    const QString path = m_dir.filePath(QStringLiteral("many.xlsx"));
    const int rows = 20000;
    WorkbookWriter writer;
    QVERIFY(writer.addSheet(QStringLiteral("Many")));
    for (int row = 1; row <= rows; ++row) {
        QVERIFY(writer.write(row, 1, QStringLiteral("IED%1").arg(row)));
        QVERIFY(writer.write(row, 2, row));
        QVERIFY(writer.write(row, 3, row / 4.0));
    }
    QVERIFY2(writer.saveAs(path), qPrintable(writer.errorString()));

    WorkbookReader reader;
    QVERIFY2(reader.open(path), qPrintable(reader.errorString()));
    QVERIFY2(reader.selectSheet(QStringLiteral("Many")), qPrintable(reader.errorString()));
    QCOMPARE(reader.lastRow(), rows);
    QCOMPARE(reader.lastColumn(), 3);
    QCOMPARE(reader.cellCount(), rows * 3);
    QCOMPARE(reader.read(12345, 1).toString(), QStringLiteral("IED12345"));
    QCOMPARE(reader.read(12345, 2).toLongLong(), 12345LL);
    QCOMPARE(reader.read(12345, 3).toDouble(), 12345 / 4.0);
}

void TestWorkbook::sheetOrderAndActiveSheet()
{
    const QString path = m_dir.filePath(QStringLiteral("order.xlsx"));
    WorkbookWriter writer;
    QVERIFY(writer.addSheet(QStringLiteral("Signals")));
    QVERIFY(writer.addSheet(QStringLiteral("Datasets")));
    QVERIFY(writer.addSheet(QStringLiteral("Reports")));
    QCOMPARE(writer.currentSheet(), QStringLiteral("Reports"));
    QVERIFY(writer.selectSheet(QStringLiteral("Signals")));
    QVERIFY(writer.write(1, 1, QStringLiteral("on signals")));
    QVERIFY(writer.selectSheet(QStringLiteral("Reports")));
    QVERIFY(writer.write(1, 1, QStringLiteral("on reports")));
    QVERIFY(writer.setActiveSheet(QStringLiteral("Datasets")));
    QVERIFY(!writer.setActiveSheet(QStringLiteral("Nope")));
    QVERIFY2(writer.saveAs(path), qPrintable(writer.errorString()));

    const QStringList expected{QStringLiteral("Signals"), QStringLiteral("Datasets"),
                               QStringLiteral("Reports")};
    WorkbookReader reader;
    QVERIFY2(reader.open(path), qPrintable(reader.errorString()));
    QCOMPARE(reader.sheetNames(), expected);
    QCOMPARE(reader.activeSheet(), QStringLiteral("Datasets"));
    QVERIFY(packagePart(path, QStringLiteral("xl/workbook.xml")).contains("activeTab=\"1\""));
    QVERIFY(reader.selectSheet(QStringLiteral("Signals")));
    QCOMPARE(reader.read(1, 1).toString(), QStringLiteral("on signals"));
    QVERIFY(reader.selectSheet(QStringLiteral("Datasets")));
    QCOMPARE(reader.lastRow(), 0);
    QCOMPARE(reader.lastColumn(), 0);
    QVERIFY(reader.dimension().isEmpty());
    QVERIFY(reader.selectSheet(QStringLiteral("Reports")));
    QCOMPARE(reader.read(1, 1).toString(), QStringLiteral("on reports"));
}

void TestWorkbook::headerFormatAndColumnWidths()
{
    const QString path = m_dir.filePath(QStringLiteral("header.xlsx"));
    WorkbookWriter writer;
    QVERIFY(writer.addSheet(QStringLiteral("Sheet")));
    QVERIFY(writer.write(1, 1, QStringLiteral("Name"), WorkbookWriter::CellStyle::Header));
    QVERIFY(writer.write(1, 2, QStringLiteral("Value"), WorkbookWriter::CellStyle::Header));
    QVERIFY(writer.write(2, 1, QStringLiteral("plain")));
    QVERIFY(writer.setColumnWidth(2, 30));
    QVERIFY(writer.setColumnWidth(5, 12));
    QVERIFY(!writer.setColumnWidth(0, 10));
    QVERIFY(!writer.setColumnWidth(1, -1));
    QVERIFY2(writer.saveAs(path), qPrintable(writer.errorString()));

    const QByteArray styles = packagePart(path, QStringLiteral("xl/styles.xml"));
    QVERIFY(styles.contains("<b/>"));
    QVERIFY(styles.contains("patternType=\"solid\""));
    QVERIFY(styles.contains("rgb=\"FFC0C0C0\""));
    const QByteArray sheet = packagePart(path, QStringLiteral("xl/worksheets/sheet1.xml"));
    QVERIFY(sheet.contains("<col min=\"2\" max=\"2\" width=\"30."));
    QVERIFY(sheet.contains("<col min=\"5\" max=\"5\" width=\"12.7"));
    QVERIFY(sheet.contains("customWidth=\"1\""));
    QVERIFY(sheet.contains("<c r=\"A1\" s=\"1\""));
    QVERIFY(sheet.contains("<c r=\"A2\" t=\"s\">"));
}

Q_DECLARE_METATYPE(SheetLayout)
Q_DECLARE_METATYPE(PaperSize)

void TestWorkbook::pageSetupAndViewReadBack_data()
{
    QTest::addColumn<SheetLayout>("layout");
    QTest::addColumn<int>("columns");
    QTest::addColumn<PaperSize>("paper");
    QTest::addColumn<QString>("project");
    // Fragments of the sheet's XML, and of the workbook's ("-" first: must be absent).
    QTest::addColumn<QStringList>("sheetParts");
    QTest::addColumn<QStringList>("workbookParts");

    SheetLayout table;
    table.headerRows = 1;
    table.frozenColumns = 1;
    table.autoFilter = true;
    QTest::newRow("wide table: landscape, bound at the top, as wide as a page")
        << table << 12 << PaperSize::A4 << QStringLiteral("Station")
        << QStringList{"<pageSetUpPr fitToPage=\"1\"/>",
                       "<pane xSplit=\"1\" ySplit=\"1\" topLeftCell=\"B2\"",
                       "state=\"frozen\"",
                       "<autoFilter ref=\"A1:L3\"/>",
                       "<printOptions gridLines=\"1\"/>",
                       "<pageMargins left=\"0.5\" right=\"0.5\" top=\"1\" bottom=\"0.75\" "
                       "header=\"0.55\" footer=\"0.3\"/>",
                       "paperSize=\"9\"",
                       "orientation=\"landscape\"",
                       "fitToHeight=\"0\"",
                       "<oddHeader>&amp;LStation, IED IED1&amp;C&amp;A&amp;RPrinted "
                       "&amp;D</oddHeader>",
                       "<oddFooter>&amp;Cpage &amp;P of &amp;N</oddFooter>"}
        << QStringList{"<definedName name=\"_xlnm._FilterDatabase\" localSheetId=\"0\" "
                       "hidden=\"1\">Sheet!$A$1:$L$3</definedName>",
                       "<definedName name=\"_xlnm.Print_Titles\" localSheetId=\"0\">"
                       "Sheet!$1:$1</definedName>"};

    SheetLayout form;
    form.onePage = true;
    form.printGridlines = false;
    QTest::newRow("narrow form: portrait, bound at the left, one page, Letter")
        << form << 3 << PaperSize::Letter << QStringLiteral("R&D")
        << QStringList{"<pageSetUpPr fitToPage=\"1\"/>",
                       "<pageMargins left=\"1\" right=\"0.5\" top=\"0.75\" "
                       "bottom=\"0.75\" header=\"0.3\" footer=\"0.3\"/>",
                       "paperSize=\"1\"",
                       "orientation=\"portrait\"",
                       "&amp;LR&amp;&amp;D, IED IED1&amp;C",
                       "-fitToHeight=\"0\"",
                       "-<pane",
                       "-<autoFilter",
                       "-gridLines"}
        << QStringList{"-definedName"};

    QTest::newRow("long names with ampersands are cut, never refused")
        << form << 3 << PaperSize::A4 << QString(140, QLatin1Char('&'))
        << QStringList{"<oddHeader>&amp;L" + QString(100, QLatin1Char('&')).toHtmlEscaped() +
                       ", IED IED1&amp;C"}
        << QStringList{};

    SheetLayout portraitTable = table;
    portraitTable.orientation = SheetLayout::Orientation::Portrait;
    portraitTable.frozenColumns = 0;
    QTest::newRow("table turned by hand, header frozen only")
        << portraitTable << 12 << PaperSize::A4 << QString()
        << QStringList{"<pane ySplit=\"1\" topLeftCell=\"A2\"", "orientation=\"portrait\"",
                       "<oddHeader>&amp;LIED IED1&amp;C&amp;A"}
        << QStringList{"Sheet!$1:$1"};
}

void TestWorkbook::pageSetupAndViewReadBack()
{
    QFETCH(SheetLayout, layout);
    QFETCH(int, columns);
    QFETCH(PaperSize, paper);
    QFETCH(QString, project);
    QFETCH(QStringList, sheetParts);
    QFETCH(QStringList, workbookParts);

    const QString path = m_dir.filePath(QStringLiteral("layout.xlsx"));
    WorkbookWriter writer;
    writer.setPaperSize(paper);
    writer.setPrintHeading(project, QStringLiteral("IED1"));
    QVERIFY(writer.addSheet(QStringLiteral("Sheet")));
    QVERIFY(writer.setLayout(layout));
    for (int column = 1; column <= columns; ++column) {
        QVERIFY(writer.write(1, column, QStringLiteral("Head %1").arg(column),
                             WorkbookWriter::CellStyle::Header));
        QVERIFY(writer.setColumnWidth(column, 12));
        QVERIFY(writer.write(2, column, column));
        QVERIFY(writer.write(3, column, QStringLiteral("text %1").arg(column)));
    }
    QVERIFY2(writer.saveAs(path), qPrintable(writer.errorString()));

    const QByteArray sheet = packagePart(path, QStringLiteral("xl/worksheets/sheet1.xml"));
    for (const QString &part : sheetParts) {
        if (part.startsWith('-'))
            QVERIFY2(!sheet.contains(part.mid(1).toUtf8()), qPrintable(part + "\n" + sheet));
        else
            QVERIFY2(sheet.contains(part.toUtf8()), qPrintable(part + "\n" + sheet));
    }
    const QByteArray workbook = packagePart(path, QStringLiteral("xl/workbook.xml"));
    for (const QString &part : workbookParts) {
        if (part.startsWith('-'))
            QVERIFY2(!workbook.contains(part.mid(1).toUtf8()), qPrintable(part));
        else
            QVERIFY2(workbook.contains(part.toUtf8()), qPrintable(part + "\n" + workbook));
    }

    // The reader sees the cells, whatever the sheet's view and print settings.
    WorkbookReader reader;
    QVERIFY2(reader.open(path), qPrintable(reader.errorString()));
    QVERIFY(reader.selectSheet(QStringLiteral("Sheet")));
    QCOMPARE(reader.lastRow(), 3);
    QCOMPARE(reader.lastColumn(), columns);
    QCOMPARE(reader.read(1, columns).toString(), QStringLiteral("Head %1").arg(columns));
    QCOMPARE(reader.read(2, columns), QVariant(qlonglong(columns)));
}

void TestWorkbook::paperFollowsTheLocale_data()
{
    QTest::addColumn<QString>("locale");
    QTest::addColumn<PaperSize>("paper");
    QTest::newRow("United States") << "en_US" << PaperSize::Letter;
    QTest::newRow("Canada, metric but on Letter") << "fr_CA" << PaperSize::Letter;
    QTest::newRow("Germany") << "de_DE" << PaperSize::A4;
    QTest::newRow("United Kingdom") << "en_GB" << PaperSize::A4;
    QTest::newRow("no country") << "C" << PaperSize::A4;
}

void TestWorkbook::paperFollowsTheLocale()
{
    QFETCH(QString, locale);
    QFETCH(PaperSize, paper);
    QCOMPARE(paperSizeFor(QLocale(locale)), paper);
}

void TestWorkbook::dateTimesShowTheirZone()
{
    const QString path = m_dir.filePath(QStringLiteral("times.xlsx"));
    WorkbookWriter writer;
    QVERIFY(writer.addSheet(QStringLiteral("Times")));
    SheetLayout layout;
    layout.widthsFromContent = true;
    layout.maxColumnWidth = 20;
    QVERIFY(writer.setLayout(layout));
    const QDateTime utc(QDate(2026, 12, 7), QTime(15, 30, 0, 250), Qt::UTC);
    QVERIFY(writer.write(1, 1, utc));
    QVERIFY(writer.write(2, 1, utc.toOffsetFromUtc(-5 * 3600 - 1800)));
    QVERIFY(writer.write(3, 1, QDateTime()));
    QVERIFY(writer.write(1, 2, QString(45, QLatin1Char('x'))));
    QVERIFY(writer.write(2, 2, QStringLiteral("short")));
    QVERIFY2(writer.saveAs(path), qPrintable(writer.errorString()));

    const QByteArray styles = packagePart(path, QStringLiteral("xl/styles.xml"));
    QVERIFY(styles.contains("formatCode=\"yyyy-mm-dd hh:mm:ss.000 &quot;UTC&quot;\""));
    QVERIFY(styles.contains("formatCode=\"yyyy-mm-dd hh:mm:ss.000 &quot;UTC-05:30&quot;\""));
    QVERIFY(styles.contains("wrapText=\"1\""));
    const QByteArray sheet = packagePart(path, QStringLiteral("xl/worksheets/sheet1.xml"));
    // The time's column as wide as its text; the long text's bounded, where it wraps.
    QVERIFY2(sheet.contains("<col min=\"1\" max=\"1\" width=\"34.7"), sheet.constData());
    QVERIFY(sheet.contains("<col min=\"2\" max=\"2\" width=\"20.7"));

    WorkbookReader reader;
    QVERIFY(reader.open(path));
    QVERIFY(reader.selectSheet(QStringLiteral("Times")));
    // Days since 1899-12-30 of the wall-clock time in the value's own zone.
    const double days = 46363 + (15 * 3600 + 30 * 60 + 0.25) / 86400.0;
    QCOMPARE(reader.read(1, 1).toDouble(), days);
    QCOMPARE(reader.read(2, 1).toDouble(), days - 5.5 / 24);
    QVERIFY(reader.read(3, 1).isNull());
}

void TestWorkbook::writerRejectsInvalidInput()
{
    WorkbookWriter writer;
    QVERIFY(!writer.write(1, 1, 1));
    QVERIFY(!writer.errorString().isEmpty());
    QVERIFY(!writer.addSheet(QString()));
    QVERIFY(!writer.addSheet(QStringLiteral("a/b")));
    QVERIFY(!writer.addSheet(QStringLiteral("'quoted'")));
    QVERIFY(!writer.addSheet(QString(32, QLatin1Char('s'))));
    QVERIFY(writer.addSheet(QString(31, QLatin1Char('s'))));
    QVERIFY(writer.addSheet(QStringLiteral("Data")));
    QVERIFY(!writer.addSheet(QStringLiteral("DATA")));
    QVERIFY(writer.errorString().contains(QStringLiteral("DATA")));
    QVERIFY(!writer.selectSheet(QStringLiteral("Missing")));
    QVERIFY(!writer.write(0, 1, 1));
    QVERIFY(!writer.write(1, 0, 1));
    QVERIFY(!writer.write(WorkbookMaxRows + 1, 1, 1));
    QVERIFY(!writer.write(1, WorkbookMaxColumns + 1, 1));
    QVERIFY(writer.write(WorkbookMaxRows, WorkbookMaxColumns, 1));
    QVERIFY(!writer.write(1, 1, QString(32768, QLatin1Char('x'))));
}

void TestWorkbook::saveAsFailsWithTheFileNamed_data()
{
    QTest::addColumn<QString>("path");
    QFile regular(m_dir.filePath(QStringLiteral("plain-file")));
    QVERIFY(regular.open(QIODevice::WriteOnly));
    regular.close();
    QDir(m_dir.path()).mkdir(QStringLiteral("a-folder.xlsx"));
    QTest::newRow("folder path") << m_dir.filePath(QStringLiteral("a-folder.xlsx"));
    QTest::newRow("below a file") << m_dir.filePath(QStringLiteral("plain-file/out.xlsx"));
    QTest::newRow("missing folder") << m_dir.filePath(QStringLiteral("missing/out.xlsx"));
}

void TestWorkbook::saveAsFailsWithTheFileNamed()
{
    QFETCH(QString, path);
    WorkbookWriter writer;
    QVERIFY(writer.addSheet(QStringLiteral("Sheet")));
    QVERIFY(writer.write(1, 1, 1));
    QVERIFY(!writer.saveAs(path));
    QVERIFY2(writer.errorString().contains(QDir::toNativeSeparators(path)),
             qPrintable(writer.errorString()));
    QVERIFY(!QFileInfo(path).isFile());

    WorkbookWriter empty;
    const QString ok = m_dir.filePath(QStringLiteral("empty.xlsx"));
    QVERIFY(!empty.saveAs(ok));
    QVERIFY(empty.errorString().contains(QDir::toNativeSeparators(ok)));
}

void TestWorkbook::saveAsReplacesAnExistingFile()
{
    const QString path = m_dir.filePath(QStringLiteral("replace.xlsx"));
    QFile old(path);
    QVERIFY(old.open(QIODevice::WriteOnly));
    old.write("old content");
    old.close();
    WorkbookWriter writer;
    QVERIFY(writer.addSheet(QStringLiteral("New")));
    QVERIFY(writer.write(2, 2, QStringLiteral("new")));
    QVERIFY2(writer.saveAs(path), qPrintable(writer.errorString()));
    WorkbookReader reader;
    QVERIFY2(reader.open(path), qPrintable(reader.errorString()));
    QVERIFY(reader.selectSheet(QStringLiteral("New")));
    QCOMPARE(reader.read(2, 2).toString(), QStringLiteral("new"));
}

void TestWorkbook::saveAsOnAReadOnlyFileOrFolder()
{
    const QString folder = m_dir.filePath(QStringLiteral("read-only"));
    QVERIFY(QDir(m_dir.path()).mkdir(QStringLiteral("read-only")));
    const QString existing = folder + QStringLiteral("/existing.xlsx");
    QFile file(existing);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("keep me");
    file.close();
    QVERIFY(file.setPermissions(QFileDevice::ReadOwner));
    QVERIFY(QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::ExeOwner));
    const bool enforced = !QFileInfo(folder).isWritable() && !QFileInfo(existing).isWritable();

    WorkbookWriter writer;
    QVERIFY(writer.addSheet(QStringLiteral("Sheet")));
    QVERIFY(writer.write(1, 1, 1));
    const bool savedNew = writer.saveAs(folder + QStringLiteral("/new.xlsx"));
    const QString newError = writer.errorString();
    const bool savedExisting = writer.saveAs(existing);
    const QString existingError = writer.errorString();
    QFile::setPermissions(folder,
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    QFile::setPermissions(existing, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    if (!enforced)
        QSKIP("file permissions are not enforced for this user");
    QVERIFY(!savedNew);
    QVERIFY2(newError.contains(QStringLiteral("new.xlsx")), qPrintable(newError));
    QVERIFY(!savedExisting);
    QVERIFY2(existingError.contains(QDir::toNativeSeparators(existing)), qPrintable(existingError));
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), QByteArray("keep me"));
}

void TestWorkbook::parseCellReference_data()
{
    QTest::addColumn<QString>("reference");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<int>("row");
    QTest::addColumn<int>("column");
    QTest::newRow("A1") << QStringLiteral("A1") << true << 1 << 1;
    QTest::newRow("Z9") << QStringLiteral("Z9") << true << 9 << 26;
    QTest::newRow("AA10") << QStringLiteral("AA10") << true << 10 << 27;
    QTest::newRow("AB12") << QStringLiteral("AB12") << true << 12 << 28;
    QTest::newRow("lower case") << QStringLiteral("ab12") << true << 12 << 28;
    QTest::newRow("XFD1048576") << QStringLiteral("XFD1048576") << true << 1048576 << 16384;
    QTest::newRow("XFE1") << QStringLiteral("XFE1") << false << 0 << 0;
    QTest::newRow("A1048577") << QStringLiteral("A1048577") << false << 0 << 0;
    QTest::newRow("A0") << QStringLiteral("A0") << false << 0 << 0;
    QTest::newRow("no row") << QStringLiteral("AB") << false << 0 << 0;
    QTest::newRow("no column") << QStringLiteral("12") << false << 0 << 0;
    QTest::newRow("absolute") << QStringLiteral("$A$1") << false << 0 << 0;
    QTest::newRow("long letters") << QStringLiteral("AAAAAAAAAAAAAAAAAAAAAAAAAA1") << false << 0
                                  << 0;
    QTest::newRow("long digits") << QStringLiteral("A99999999999999999999") << false << 0 << 0;
    QTest::newRow("empty") << QString() << false << 0 << 0;
}

void TestWorkbook::parseCellReference()
{
    QFETCH(QString, reference);
    QFETCH(bool, valid);
    QFETCH(int, row);
    QFETCH(int, column);
    int r = 0;
    int c = 0;
    QCOMPARE(WorkbookReader::parseCellReference(reference, &r, &c), valid);
    if (valid) {
        QCOMPARE(r, row);
        QCOMPARE(c, column);
    }
}

void TestWorkbook::openRejectsWhatIsNotAWorkbook_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("message");

    const QString text = m_dir.filePath(QStringLiteral("text.xlsx"));
    QFile file(text);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("IEDName;LDevice\nIED1;LD0\n");
    file.close();
    QTest::newRow("not a zip") << text << QStringLiteral("not a zip");

    const QString emptyFile = m_dir.filePath(QStringLiteral("empty-file.xlsx"));
    QFile empty(emptyFile);
    QVERIFY(empty.open(QIODevice::WriteOnly));
    empty.close();
    QTest::newRow("empty file") << emptyFile << QStringLiteral("not a zip");

    const QString noWorkbook = m_dir.filePath(QStringLiteral("no-workbook.xlsx"));
    QVERIFY(writeZip(noWorkbook, {qMakePair(QStringLiteral("readme.txt"), QByteArray("hi"))}));
    QTest::newRow("zip without workbook") << noWorkbook << QStringLiteral("xl/workbook.xml");

    const QString noRels = m_dir.filePath(QStringLiteral("no-rels.xlsx"));
    QVERIFY(writeZip(noRels, {qMakePair(QStringLiteral("xl/workbook.xml"),
                                        QByteArray("<workbook xmlns=\"" + mainNs +
                                                   "\"><sheets/></workbook>"))}));
    QTest::newRow("workbook without relationships")
        << noRels << QStringLiteral("xl/_rels/workbook.xml.rels");

    const QString broken = m_dir.filePath(QStringLiteral("broken-workbook.xlsx"));
    QVERIFY(writeZip(broken, {qMakePair(QStringLiteral("xl/workbook.xml"),
                                        QByteArray("<workbook><sheets><sheet name="))}));
    QTest::newRow("malformed workbook.xml") << broken << QStringLiteral("xl/workbook.xml");

    QTest::newRow("missing file") << m_dir.filePath(QStringLiteral("nowhere.xlsx"))
                                  << QStringLiteral("no such file");
}

void TestWorkbook::openRejectsWhatIsNotAWorkbook()
{
    QFETCH(QString, path);
    QFETCH(QString, message);
    WorkbookReader reader;
    QVERIFY(!reader.open(path));
    QVERIFY(!reader.isOpen());
    QVERIFY2(reader.errorString().contains(QDir::toNativeSeparators(path)),
             qPrintable(reader.errorString()));
    QVERIFY2(reader.errorString().contains(message), qPrintable(reader.errorString()));
    QVERIFY(reader.sheetNames().isEmpty());
    QVERIFY(!reader.selectSheet(QStringLiteral("Sheet1")));
}

void TestWorkbook::selectSheetOfAMissingName()
{
    const QString path = m_dir.filePath(QStringLiteral("names.xlsx"));
    WorkbookWriter writer;
    QVERIFY(writer.addSheet(QStringLiteral("Present")));
    QVERIFY(writer.write(1, 1, 5));
    QVERIFY(writer.saveAs(path));
    WorkbookReader reader;
    QVERIFY(reader.open(path));
    QVERIFY(reader.selectSheet(QStringLiteral("Present")));
    QVERIFY(!reader.selectSheet(QStringLiteral("Absent")));
    QVERIFY(reader.errorString().contains(QStringLiteral("Absent")));
    QCOMPARE(reader.read(1, 1), QVariant());
    QCOMPARE(reader.lastRow(), 0);
    QVERIFY(!reader.selectSheet(QStringLiteral("present")));
}

void TestWorkbook::readsHandBuiltWorkbook()
{
    const QByteArray data = "<row r=\"1\">"
                            "<c r=\"A1\" t=\"inlineStr\"><is><t>plain inline</t></is></c>"
                            "<c r=\"B1\" t=\"inlineStr\"><is><r><rPr><b/></rPr><t>rich </t></r>"
                            "<r><t xml:space=\"preserve\">inline </t></r><r><t>runs</t></r>"
                            "<rPh sb=\"0\" eb=\"1\"><t>phonetic</t></rPh></is></c>"
                            "<c r=\"C1\" t=\"s\"><v>0</v></c>"
                            "<c r=\"D1\" t=\"s\"><v>1</v></c>"
                            "</row>"
                            "<row r=\"3\">"
                            "<c r=\"A3\"><f>1+1</f><v>2</v></c>"
                            "<c r=\"B3\" t=\"str\"><f>\"a\"&amp;\"b\"</f><v>ab</v></c>"
                            "<c r=\"C3\" t=\"b\"><f>TRUE()</f><v>1</v></c>"
                            "<c r=\"D3\" t=\"e\"><f>1/0</f><v>#DIV/0!</v></c>"
                            "<c r=\"E3\" t=\"e\"><v>#N/A</v></c>"
                            "<c r=\"F3\"><f>A3*2</f></c>"
                            "<c r=\"G3\" s=\"2\"/>"
                            "<c r=\"H3\"><v>45000</v></c>"
                            "<c r=\"I3\"><v>1.5E3</v></c>"
                            "<c r=\"J3\"><v>0.1</v></c>"
                            "<c r=\"K3\" t=\"n\"><v>-12</v></c>"
                            "<c r=\"L3\" t=\"d\"><v>2024-01-31T00:00:00</v></c>"
                            "<c r=\"M3\" t=\"b\"><v>0</v></c>"
                            "<c r=\"N3\" t=\"inlineStr\"><is><t>A_x0009_B</t></is></c>"
                            "</row>";
    const QByteArray shared = "<?xml version=\"1.0\"?><sst xmlns=\"" + mainNs +
                              "\" count=\"2\" uniqueCount=\"2\"><si><t>first</t></si>"
                              "<si><r><t>sec</t></r><r><rPr><i/></rPr><t>ond</t></r></si></sst>";
    const QString path = m_dir.filePath(QStringLiteral("hand.xlsx"));
    QVERIFY(writeZip(path, handBuiltWorkbook(sheetXml(data), shared)));

    WorkbookReader reader;
    QVERIFY2(reader.open(path), qPrintable(reader.errorString()));
    QCOMPARE(reader.sheetNames(), (QStringList{QStringLiteral("Data"), QStringLiteral("Other")}));
    QCOMPARE(reader.activeSheet(), QStringLiteral("Other"));
    QVERIFY2(reader.selectSheet(QStringLiteral("Data")), qPrintable(reader.errorString()));
    QCOMPARE(reader.read(1, 1), QVariant(QStringLiteral("plain inline")));
    QCOMPARE(reader.read(1, 2), QVariant(QStringLiteral("rich inline runs")));
    QCOMPARE(reader.read(1, 3), QVariant(QStringLiteral("first")));
    QCOMPARE(reader.read(1, 4), QVariant(QStringLiteral("second")));
    QCOMPARE(reader.read(2, 1), QVariant());
    QCOMPARE(reader.read(3, 1), QVariant(qlonglong(2)));
    QCOMPARE(reader.read(3, 2), QVariant(QStringLiteral("ab")));
    QCOMPARE(reader.read(3, 3), QVariant(true));
    QCOMPARE(reader.read(3, 4), QVariant(QStringLiteral("#DIV/0!")));
    QCOMPARE(reader.read(3, 5), QVariant(QStringLiteral("#N/A")));
    QCOMPARE(reader.read(3, 6), QVariant());
    QCOMPARE(reader.read(3, 7), QVariant());
    QCOMPARE(reader.read(3, 8), QVariant(qlonglong(45000)));
    QCOMPARE(reader.read(3, 9), QVariant(qlonglong(1500)));
    QCOMPARE(reader.read(3, 10), QVariant(0.1));
    QCOMPARE(reader.read(3, 11), QVariant(qlonglong(-12)));
    QCOMPARE(reader.read(3, 12), QVariant(QStringLiteral("2024-01-31T00:00:00")));
    QCOMPARE(reader.read(3, 13), QVariant(false));
    QCOMPARE(reader.read(3, 14), QVariant(QStringLiteral("A\tB")));
    QCOMPARE(reader.lastRow(), 3);
    QCOMPARE(reader.lastColumn(), 14);
    QVERIFY(reader.selectSheet(QStringLiteral("Other")));
    QCOMPARE(reader.read(1, 1), QVariant(qlonglong(1)));
    QCOMPARE(reader.read(1, 2), QVariant());
}

void TestWorkbook::dimensionIgnoresTheDeclaredOne()
{
    const QString path = m_dir.filePath(QStringLiteral("dimension.xlsx"));
    const QByteArray data = "<row r=\"2\"><c r=\"C2\"><v>1</v></c></row>"
                            "<row r=\"40\" spans=\"1:9\"><c r=\"B40\"><v>2</v></c>"
                            "<c r=\"I40\" s=\"3\"/></row>";
    QVERIFY(writeZip(path, handBuiltWorkbook(sheetXml(data, "<dimension ref=\"A1:Z1000\"/>"))));
    WorkbookReader reader;
    QVERIFY2(reader.open(path), qPrintable(reader.errorString()));
    QVERIFY2(reader.selectSheet(QStringLiteral("Data")), qPrintable(reader.errorString()));
    QCOMPARE(reader.firstRow(), 2);
    QCOMPARE(reader.firstColumn(), 2);
    QCOMPARE(reader.lastRow(), 40);
    QCOMPARE(reader.lastColumn(), 3);
    QCOMPARE(reader.cellCount(), 2);
    const WorkbookReader::Range range = reader.dimension();
    QVERIFY(!range.isEmpty());
    QCOMPARE(range.firstRow, 2);
    QCOMPARE(range.firstColumn, 2);
    QCOMPARE(range.lastRow, 40);
    QCOMPARE(range.lastColumn, 3);
}

void TestWorkbook::cellsWithoutReferences()
{
    const QString path = m_dir.filePath(QStringLiteral("noref.xlsx"));
    const QByteArray data = "<row><c><v>1</v></c><c><v>2</v></c><c r=\"E1\"><v>5</v></c>"
                            "<c><v>6</v></c></row>"
                            "<row><c t=\"inlineStr\"><is><t>second row</t></is></c></row>"
                            "<row r=\"7\"><c><v>7</v></c></row>"
                            "<row><c/><c><v>8</v></c></row>";
    QVERIFY(writeZip(path, handBuiltWorkbook(sheetXml(data))));
    WorkbookReader reader;
    QVERIFY2(reader.open(path), qPrintable(reader.errorString()));
    QVERIFY2(reader.selectSheet(QStringLiteral("Data")), qPrintable(reader.errorString()));
    QCOMPARE(reader.read(1, 1).toInt(), 1);
    QCOMPARE(reader.read(1, 2).toInt(), 2);
    QCOMPARE(reader.read(1, 5).toInt(), 5);
    QCOMPARE(reader.read(1, 6).toInt(), 6);
    QCOMPARE(reader.read(2, 1).toString(), QStringLiteral("second row"));
    QCOMPARE(reader.read(7, 1).toInt(), 7);
    QCOMPARE(reader.read(8, 2).toInt(), 8);
    QCOMPARE(reader.lastRow(), 8);
    QCOMPARE(reader.lastColumn(), 6);
}

void TestWorkbook::sharedStringsWithRichTextRuns()
{
    const QByteArray shared =
        "<?xml version=\"1.0\"?><sst xmlns=\"" + mainNs +
        "\"><si><r><rPr><b/><sz val=\"11\"/></rPr><t>Bold</t></r>"
        "<r><t xml:space=\"preserve\"> and </t></r><r><rPr><i/></rPr><t>italic</t></r>"
        "<rPh sb=\"0\" eb=\"4\"><t>ignored</t></rPh></si>"
        "<si><t/></si><si><t>caf&#233; &amp; bar</t></si></sst>";
    const QByteArray data =
        "<row r=\"1\"><c r=\"A1\" t=\"s\"><v>0</v></c>"
        "<c r=\"B1\" t=\"s\"><v>1</v></c><c r=\"C1\" t=\"s\"><v>2</v></c></row>";
    const QString path = m_dir.filePath(QStringLiteral("shared.xlsx"));
    QVERIFY(writeZip(path, handBuiltWorkbook(sheetXml(data), shared)));
    WorkbookReader reader;
    QVERIFY2(reader.open(path), qPrintable(reader.errorString()));
    QVERIFY2(reader.selectSheet(QStringLiteral("Data")), qPrintable(reader.errorString()));
    QCOMPARE(reader.read(1, 1), QVariant(QStringLiteral("Bold and italic")));
    QCOMPARE(reader.read(1, 2), QVariant());
    QCOMPARE(reader.read(1, 3), QVariant(QStringLiteral("café & bar")));
}

void TestWorkbook::malformedSheetIsAnError_data()
{
    QTest::addColumn<QByteArray>("sheet");
    QTest::addColumn<QString>("message");
    QTest::newRow("unclosed") << sheetXml("<row r=\"1\"><c r=\"A1\"><v>1</v></c>").left(80)
                              << QStringLiteral("book/tabs/first.xml");
    QTest::newRow("mismatched tags")
        << sheetXml("<row r=\"1\"><c r=\"A1\"><v>1</c></v></row>") << QStringLiteral("malformed");
    QTest::newRow("bad reference")
        << sheetXml("<row r=\"1\"><c r=\"1A\"><v>1</v></c></row>") << QStringLiteral("1A");
    QTest::newRow("column beyond XFD")
        << sheetXml("<row r=\"1\"><c r=\"XFE1\"><v>1</v></c></row>") << QStringLiteral("XFE1");
    QTest::newRow("row beyond limit")
        << sheetXml("<row r=\"1048577\"><c><v>1</v></c></row>") << QStringLiteral("1048577");
    QTest::newRow("bad row number")
        << sheetXml("<row r=\"x\"><c><v>1</v></c></row>") << QStringLiteral("\"x\"");
    QTest::newRow("missing shared string")
        << sheetXml("<row r=\"1\"><c r=\"A1\" t=\"s\"><v>9</v></c></row>")
        << QStringLiteral("shared string 9");
    QTest::newRow("document type")
        << QByteArray("<?xml version=\"1.0\"?><!DOCTYPE x [<!ENTITY a \"aaaa\">]>"
                      "<worksheet><sheetData/></worksheet>")
        << QStringLiteral("document type");
    QTest::newRow("not xml") << QByteArray("\x00\x01\x02 binary", 10)
                             << QStringLiteral("first.xml");
}

void TestWorkbook::malformedSheetIsAnError()
{
    QFETCH(QByteArray, sheet);
    QFETCH(QString, message);
    const QString path = m_dir.filePath(QStringLiteral("malformed.xlsx"));
    QFile::remove(path);
    QVERIFY(writeZip(path, handBuiltWorkbook(sheet, QByteArray("<sst/>"))));
    WorkbookReader reader;
    QVERIFY2(reader.open(path), qPrintable(reader.errorString()));
    QVERIFY(!reader.selectSheet(QStringLiteral("Data")));
    QVERIFY2(reader.errorString().contains(message), qPrintable(reader.errorString()));
    QVERIFY(reader.errorString().contains(QStringLiteral("Data")));
    QCOMPARE(reader.cellCount(), 0);
    QCOMPARE(reader.lastRow(), 0);
    QVERIFY(reader.selectSheet(QStringLiteral("Other")));
    QCOMPARE(reader.read(1, 1).toInt(), 1);
}

void TestWorkbook::declaredSizeOverTheLimitIsRejected()
{
    const QString path = m_dir.filePath(QStringLiteral("bomb.xlsx"));
    const QByteArray content = sheetXml(QByteArray(4096, ' '));
    Entries entries = handBuiltWorkbook(sheetXml(QByteArray()));
    entries.removeAt(4); // the first sheet comes from the crafted entry
    const quint64 declared = 300ULL * 1024 * 1024;
    QVERIFY(writeZipWithDeclaredSize(path, entries, QStringLiteral("book/tabs/first.xml"), content,
                                     declared));
    WorkbookReader reader;
    QVERIFY2(reader.open(path), qPrintable(reader.errorString()));
    QVERIFY(!reader.selectSheet(QStringLiteral("Data")));
    QVERIFY2(reader.errorString().contains(QStringLiteral("limit")),
             qPrintable(reader.errorString()));

    // The same kind of entry as the shared strings makes the whole file unreadable.
    const QString strings = m_dir.filePath(QStringLiteral("bomb-strings.xlsx"));
    Entries plain = handBuiltWorkbook(sheetXml(QByteArray()), QByteArray("<sst/>"));
    plain.removeLast();
    QVERIFY(writeZipWithDeclaredSize(strings, plain, QStringLiteral("book/texts.xml"), "<sst/>",
                                     65ULL * 1024 * 1024));
    QVERIFY(!reader.open(strings));
    QVERIFY2(reader.errorString().contains(QStringLiteral("book/texts.xml")),
             qPrintable(reader.errorString()));
}

void TestWorkbook::understatedSizeDoesNotCrash()
{
    // Deflated data that inflates far beyond what its entry declares.
    const QString path = m_dir.filePath(QStringLiteral("understated.xlsx"));
    const QByteArray content = sheetXml(QByteArray(2 * 1024 * 1024, ' '));
    Entries entries = handBuiltWorkbook(sheetXml(QByteArray()));
    entries.removeAt(4);
    QVERIFY(writeZipWithDeclaredSize(path, entries, QStringLiteral("book/tabs/first.xml"), content,
                                     100));
    WorkbookReader reader;
    WorkbookReader::Limits limits;
    limits.maxSheetBytes = 1024 * 1024;
    reader.setLimits(limits);
    QVERIFY2(reader.open(path), qPrintable(reader.errorString()));
    QVERIFY(!reader.selectSheet(QStringLiteral("Data")));
    QVERIFY(!reader.errorString().isEmpty());

    // Honestly declared but above a lowered limit.
    const QString honest = m_dir.filePath(QStringLiteral("honest.xlsx"));
    QVERIFY(writeZip(honest, handBuiltWorkbook(content)));
    QVERIFY(reader.open(honest));
    QVERIFY(!reader.selectSheet(QStringLiteral("Data")));
    QVERIFY2(reader.errorString().contains(QStringLiteral("limit")),
             qPrintable(reader.errorString()));
}

void TestWorkbook::cellLimitIsEnforced()
{
    const QString path = m_dir.filePath(QStringLiteral("cells.xlsx"));
    WorkbookWriter writer;
    QVERIFY(writer.addSheet(QStringLiteral("Cells")));
    for (int row = 1; row <= 4; ++row) {
        for (int column = 1; column <= 3; ++column)
            QVERIFY(writer.write(row, column, row * column));
    }
    QVERIFY(writer.saveAs(path));
    WorkbookReader reader;
    WorkbookReader::Limits limits;
    limits.maxCells = 12;
    reader.setLimits(limits);
    QVERIFY(reader.open(path));
    QVERIFY2(reader.selectSheet(QStringLiteral("Cells")), qPrintable(reader.errorString()));
    QCOMPARE(reader.cellCount(), 12);
    limits.maxCells = 11;
    reader.setLimits(limits);
    QVERIFY(!reader.selectSheet(QStringLiteral("Cells")));
    QVERIFY2(reader.errorString().contains(QStringLiteral("11 cells")),
             qPrintable(reader.errorString()));
    QCOMPARE(reader.cellCount(), 0);
}

void TestWorkbook::readsWorkbookWrittenByOpenpyxl()
{
    if (!hasOpenpyxl())
        QSKIP("/usr/bin/python3 cannot import openpyxl");
    const QString path = m_dir.filePath(QStringLiteral("openpyxl.xlsx"));
    const QString script = QStringLiteral("import sys, openpyxl\n"
                                          "wb = openpyxl.Workbook()\n"
                                          "ws = wb.active\n"
                                          "ws.title = 'First'\n"
                                          "ws['A1'] = 'IED Name'\n"
                                          "ws['B1'] = 'Größe'\n"
                                          "ws['A2'] = 17\n"
                                          "ws['B2'] = 2.5\n"
                                          "ws['C2'] = True\n"
                                          "ws['D2'] = '=A2*2'\n"
                                          "ws['A5'] = \"it's\"\n"
                                          "ws['AB12'] = 'far'\n"
                                          "second = wb.create_sheet('Second')\n"
                                          "second['B3'] = 'only'\n"
                                          "wb.move_sheet('Second', offset=-1)\n"
                                          "wb.active = 1\n"
                                          "wb.save(sys.argv[1])\n");
    bool ok = false;
    const QString output = runPython(script, {path}, &ok);
    QVERIFY2(ok, qPrintable(output));

    WorkbookReader reader;
    QVERIFY2(reader.open(path), qPrintable(reader.errorString()));
    QCOMPARE(reader.sheetNames(), (QStringList{QStringLiteral("Second"), QStringLiteral("First")}));
    QCOMPARE(reader.activeSheet(), QStringLiteral("First"));
    QVERIFY2(reader.selectSheet(QStringLiteral("First")), qPrintable(reader.errorString()));
    QCOMPARE(reader.read(1, 1), QVariant(QStringLiteral("IED Name")));
    QCOMPARE(reader.read(1, 2), QVariant(QStringLiteral("Größe")));
    QCOMPARE(reader.read(2, 1), QVariant(qlonglong(17)));
    QCOMPARE(reader.read(2, 2), QVariant(2.5));
    QCOMPARE(reader.read(2, 3), QVariant(true));
    QCOMPARE(reader.read(2, 4), QVariant()); // openpyxl stores no cached formula value
    QCOMPARE(reader.read(5, 1), QVariant(QStringLiteral("it's")));
    QCOMPARE(reader.read(12, 28), QVariant(QStringLiteral("far")));
    QCOMPARE(reader.lastRow(), 12);
    QCOMPARE(reader.lastColumn(), 28);
    QVERIFY(reader.selectSheet(QStringLiteral("Second")));
    QCOMPARE(reader.read(3, 2), QVariant(QStringLiteral("only")));
}

void TestWorkbook::openpyxlReadsOurWorkbook()
{
    if (!hasOpenpyxl())
        QSKIP("/usr/bin/python3 cannot import openpyxl");
    const QString path = m_dir.filePath(QStringLiteral("for-openpyxl.xlsx"));
    WorkbookWriter writer;
    QVERIFY(writer.addSheet(QStringLiteral("Signals")));
    QVERIFY(writer.write(1, 1, QStringLiteral("Name"), WorkbookWriter::CellStyle::Header));
    QVERIFY(writer.write(2, 1, QStringLiteral("Ω it's")));
    QVERIFY(writer.write(2, 2, 42));
    QVERIFY(writer.write(2, 3, 0.5));
    QVERIFY(writer.write(2, 4, false));
    QVERIFY(writer.write(4, 28, QStringLiteral("far")));
    QVERIFY(writer.setColumnWidth(1, 25));
    QVERIFY(writer.addSheet(QStringLiteral("Second")));
    QVERIFY(writer.setActiveSheet(QStringLiteral("Second")));
    QVERIFY(writer.saveAs(path));

    const QString script = QStringLiteral(
        "import sys, json, openpyxl\n"
        "wb = openpyxl.load_workbook(sys.argv[1])\n"
        "ws = wb['Signals']\n"
        "h = ws['A1']\n"
        "print(json.dumps({'sheets': wb.sheetnames, 'active': wb.active.title,\n"
        "  'values': [ws['A1'].value, ws['A2'].value, ws['B2'].value, ws['C2'].value,\n"
        "             ws['D2'].value, ws['AB4'].value, ws['A3'].value],\n"
        "  'bold': h.font.b, 'fill': h.fill.fill_type, 'color': h.fill.fgColor.rgb,\n"
        "  'width': ws.column_dimensions['A'].width}))\n");
    bool ok = false;
    const QString output = runPython(script, {path}, &ok);
    QVERIFY2(ok, qPrintable(output));
    const QJsonObject result = QJsonDocument::fromJson(output.toUtf8()).object();
    QCOMPARE(result.value(QStringLiteral("sheets")).toArray(),
             QJsonArray({QStringLiteral("Signals"), QStringLiteral("Second")}));
    QCOMPARE(result.value(QStringLiteral("active")).toString(), QStringLiteral("Second"));
    const QJsonArray values = result.value(QStringLiteral("values")).toArray();
    QCOMPARE(values.at(0).toString(), QStringLiteral("Name"));
    QCOMPARE(values.at(1).toString(), QStringLiteral("Ω it's"));
    QVERIFY(values.at(2).isDouble());
    QCOMPARE(values.at(2).toDouble(), 42.0);
    QCOMPARE(values.at(3).toDouble(), 0.5);
    QVERIFY(values.at(4).isBool());
    QCOMPARE(values.at(4).toBool(), false);
    QCOMPARE(values.at(5).toString(), QStringLiteral("far"));
    QVERIFY(values.at(6).isNull());
    QCOMPARE(result.value(QStringLiteral("bold")).toBool(), true);
    QCOMPARE(result.value(QStringLiteral("fill")).toString(), QStringLiteral("solid"));
    QCOMPARE(result.value(QStringLiteral("color")).toString(), QStringLiteral("FFC0C0C0"));
    QVERIFY(result.value(QStringLiteral("width")).toDouble() > 25.0);
}

QTEST_GUILESS_MAIN(TestWorkbook)
#include "tst_workbook.moc"
