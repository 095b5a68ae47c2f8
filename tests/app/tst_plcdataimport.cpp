#include "dbschema.h"
#include "iec61850dbmanager.h"
#include "plcdataimport.h"
#include "sclmodel.h"
#include "scriptedprompt.h"
#include "selectedobjectsmodel.h"
#include "signallistimporter.h"
#include "sqliteconnector.h"
#include "testpaths.h"

#include <QFile>
#include <QPlainTextEdit>
#include <QStandardItemModel>
#include <QTemporaryDir>
#include <QTextCodec>
#include <QtTest>

#include <memory>

class PlcDataImportTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void lines_data();
    void lines();
    void mixedFixture();
    void exampleList();
    void encodings_data();
    void encodings();
    void unreadableFileLeavesModelEmpty_data();
    void unreadableFileLeavesModelEmpty();
    void importingTwiceReplaces();
    void cellsArePlainTopLevelText();
    void worksWithoutInfoScreen();
    void longListReachesInfoScreenAtOnce();
    void importerRefusesListsWithoutSignals_data();
    void importerRefusesListsWithoutSignals();
    void importerTellsWhatToCheck();

private:
    // A project holding the list of two signals that model shows.
    struct Project
    {
        QTemporaryDir dir;
        SqliteConnector connector;
        std::unique_ptr<Iec61850DbManager> db;
    };
    void openProjectWithList(Project &project);
    QStringList storedLabels(Project &project);
    QString writeFile(const QByteArray &bytes);
    // The rows after the placeholder, as texts.
    static QList<QStringList> signalRows(const QStandardItemModel &model);
    static QStringList headers(const QStandardItemModel &model);
    QStringList infoLines() const;

    std::unique_ptr<QTemporaryDir> dir;
    std::unique_ptr<QStandardItemModel> model;
    std::unique_ptr<QPlainTextEdit> infoScreen;
};

void PlcDataImportTest::init()
{
    dir = std::make_unique<QTemporaryDir>();
    QVERIFY(dir->isValid());
    model = std::make_unique<QStandardItemModel>();
    infoScreen = std::make_unique<QPlainTextEdit>();
}

void PlcDataImportTest::cleanup()
{
    QTextCodec::setCodecForLocale(nullptr);
    infoScreen.reset();
    model.reset();
    dir.reset();
}

QString PlcDataImportTest::writeFile(const QByteArray &bytes)
{
    const QString path = dir->filePath(QStringLiteral("signals.csv"));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size())
        qFatal("cannot write %s", qPrintable(path));
    return path;
}

QList<QStringList> PlcDataImportTest::signalRows(const QStandardItemModel &model)
{
    QList<QStringList> rows;
    for (int row = 1; row < model.rowCount(); ++row) {
        QStringList texts;
        for (int column = 0; column < model.columnCount(); ++column)
            texts << model.item(row, column)->text();
        rows << texts;
    }
    return rows;
}

QStringList PlcDataImportTest::headers(const QStandardItemModel &model)
{
    QStringList labels;
    for (int column = 0; column < model.columnCount(); ++column)
        labels << model.headerData(column, Qt::Horizontal).toString();
    return labels;
}

QStringList PlcDataImportTest::infoLines() const
{
    const QString text = infoScreen->toPlainText();
    return text.isEmpty() ? QStringList() : text.split(QLatin1Char('\n'));
}

void PlcDataImportTest::lines_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QList<QStringList>>("rows");
    QTest::addColumn<QStringList>("info");

    QTest::newRow("first line example")
        << QByteArray("12;4001;Breaker Q1 open;DI\n")
        << QList<QStringList>{{"12", "4001", "Breaker Q1 open", "DI"}}
        << QStringList{"1:Breaker Q1 open,12"};
    QTest::newRow("two good lines and one of three fields")
        << QByteArray("1;101;A;DI\n2;102;B\n3;103;C;DO\n")
        << QList<QStringList>{{"1", "101", "A", "DI"}, {"3", "103", "C", "DO"}}
        << QStringList{"1:A,1", "2:C,3"};
    QTest::newRow("trailing separator makes five parts")
        << QByteArray("1;2;a;b;\n5;6;c;d\n") << QList<QStringList>{{"5", "6", "c", "d"}}
        << QStringList{"1:c,5"};
    QTest::newRow("number that is not a number")
        << QByteArray("abc;7;Spare;DI\n") << QList<QStringList>{{"abc", "7", "Spare", "DI"}}
        << QStringList{"1:Spare,0"};
    QTest::newRow("empty field kept")
        << QByteArray("1;;x;y\n") << QList<QStringList>{{"1", "", "x", "y"}}
        << QStringList{"1:x,1"};
    QTest::newRow("separators only are four empty fields")
        << QByteArray(";;;\n") << QList<QStringList>{{"", "", "", ""}} << QStringList{"1:,0"};
    QTest::newRow("header line read as a signal")
        << QByteArray("Number;Address;Label;Type\n9;90;L;DI\n")
        << QList<QStringList>{{"Number", "Address", "Label", "Type"}, {"9", "90", "L", "DI"}}
        << QStringList{"1:Label,0", "2:L,9"};
    QTest::newRow("empty lines skipped")
        << QByteArray("\n\n4;40;D;DI\n\n") << QList<QStringList>{{"4", "40", "D", "DI"}}
        << QStringList{"1:D,4"};
    QTest::newRow("blanks kept") << QByteArray("8; 80 ;  Pump running ;DI \n")
                                 << QList<QStringList>{{"8", " 80 ", "  Pump running ", "DI "}}
                                 << QStringList{"1:  Pump running ,8"};
    QTest::newRow("windows line ends")
        << QByteArray("1;10;A;DI\r\n2;20;B;DO\r\n")
        << QList<QStringList>{{"1", "10", "A", "DI"}, {"2", "20", "B", "DO"}}
        << QStringList{"1:A,1", "2:B,2"};
    QTest::newRow("last line without line end")
        << QByteArray("1;10;A;DI\n2;20;B;DO")
        << QList<QStringList>{{"1", "10", "A", "DI"}, {"2", "20", "B", "DO"}}
        << QStringList{"1:A,1", "2:B,2"};
    QTest::newRow("percent signs in a label stay text")
        << QByteArray("5;50;Load %1 of %2 at 100%;AI\n")
        << QList<QStringList>{{"5", "50", "Load %1 of %2 at 100%", "AI"}}
        << QStringList{"1:Load %1 of %2 at 100%,5"};
    QTest::newRow("negative number")
        << QByteArray("-3;1;N;DI\n") << QList<QStringList>{{"-3", "1", "N", "DI"}}
        << QStringList{"1:N,-3"};
    QTest::newRow("number beyond 32 bits")
        << QByteArray("4294967297;1;Big;DI\n")
        << QList<QStringList>{{"4294967297", "1", "Big", "DI"}} << QStringList{"1:Big,4294967297"};
    QTest::newRow("hexadecimal is not a decimal number")
        << QByteArray("0x1F;1;Hex;DI\n") << QList<QStringList>{{"0x1F", "1", "Hex", "DI"}}
        << QStringList{"1:Hex,0"};
    QTest::newRow("comma separated line skipped")
        << QByteArray("1,10,A,DI\n") << QList<QStringList>() << QStringList();
    QTest::newRow("empty file") << QByteArray() << QList<QStringList>() << QStringList();
}

void PlcDataImportTest::lines()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QList<QStringList>, rows);
    QFETCH(QStringList, info);

    PlcDataImport reader;
    reader.importSignals(writeFile(bytes), model.get(), infoScreen.get());

    QCOMPARE(model->rowCount(), rows.size() + 1);
    QCOMPARE(model->item(0, 2)->text(), QStringLiteral("NoRef"));
    QCOMPARE(signalRows(*model), rows);
    QCOMPARE(infoLines(), info);
}

void PlcDataImportTest::mixedFixture()
{
    PlcDataImport reader;
    reader.importSignals(sourceFile(QStringLiteral("tests/app/fixtures/mixed.csv")), model.get(),
                         infoScreen.get());

    const QList<QStringList> expected{{"12", "4001", "Breaker Q1 open", "DI"},
                                      {"abc", "4004", "Spare input", "DI"},
                                      {"15", "", "Feeder current", "AI"}};
    QCOMPARE(signalRows(*model), expected);
    QCOMPARE(infoLines(),
             QStringList({"1:Breaker Q1 open,12", "2:Spare input,0", "3:Feeder current,15"}));
}

void PlcDataImportTest::exampleList()
{
    const QString path = sourceFile(QStringLiteral("examples/signals.csv"));
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = file.readAll().trimmed().split('\n');
    QCOMPARE(lines.size(), 22);

    PlcDataImport reader;
    reader.importSignals(path, model.get(), infoScreen.get());

    QCOMPARE(model->rowCount(), 23);
    QCOMPARE(model->columnCount(), 4);
    QCOMPARE(headers(*model), QStringList({"Signal Number", "Address", "Label", "Type"}));
    QCOMPARE(infoLines().size(), 22);
    const QList<QStringList> rows = signalRows(*model);
    for (int i = 0; i < lines.size(); ++i) {
        const QStringList fields = QString::fromUtf8(lines.at(i)).split(QLatin1Char(';'));
        QCOMPARE(rows.at(i), fields);
        QCOMPARE(infoLines().at(i),
                 QStringLiteral("%1:%2,%3").arg(i + 1).arg(fields.at(2), fields.at(0)));
    }
    QCOMPARE(infoLines().first(),
             QStringLiteral("1:BAY1_CB_POS::Bay 1 circuit breaker position,1"));
}

void PlcDataImportTest::encodings_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QByteArray>("localeCodec");
    QTest::addColumn<QString>("label");
    QTest::addColumn<QString>("number");
    QTest::addColumn<bool>("warned");

    const QString german = QStringLiteral("Sch\u00fctz Q1 ge\u00f6ffnet");
    // U+010D is the byte pair 0D 01 in UTF-16LE: a carriage return byte.
    const QString czech = QStringLiteral("Odpojova\u010d Q1 \u010d\u00e1st");
    const auto utf16 = [](const QString &text, bool bigEndian) {
        QByteArray bytes;
        for (const QChar unit : QChar(QChar::ByteOrderMark) + text) {
            const char high = char(unit.unicode() >> 8);
            const char low = char(unit.unicode() & 0xff);
            bytes.append(bigEndian ? high : low).append(bigEndian ? low : high);
        }
        return bytes;
    };

    QTest::newRow("UTF-8 with byte order mark, Latin-1 locale")
        << QByteArray("\xEF\xBB\xBF") + QStringLiteral("12;1;%1;DI\r\n").arg(german).toUtf8()
        << QByteArray("ISO-8859-1") << german << "12" << false;
    QTest::newRow("UTF-16LE with byte order mark and windows line ends")
        << utf16(QStringLiteral("12;1;%1;DI\r\n13;2;x;DO\r\n").arg(czech), false)
        << QByteArray("UTF-8") << czech << "12" << false;
    QTest::newRow("UTF-16BE with byte order mark")
        << utf16(QStringLiteral("12;1;%1;DI\n").arg(czech), true) << QByteArray("UTF-8") << czech
        << "12" << false;
    QTest::newRow("UTF-8 without mark, UTF-8 locale")
        << QStringLiteral("12;1;%1;DI\n").arg(german).toUtf8() << QByteArray("UTF-8") << german
        << "12" << false;
    QTest::newRow("Latin-1 without mark, Latin-1 locale")
        << QStringLiteral("12;1;%1;DI\n").arg(german).toLatin1() << QByteArray("ISO-8859-1")
        << german << "12" << false;
    QTest::newRow("Latin-1 without mark, UTF-8 locale")
        << QStringLiteral("12;1;%1;DI\n").arg(german).toLatin1() << QByteArray("UTF-8")
        << QStringLiteral("Sch\ufffdtz Q1 ge\ufffdffnet") << "12" << true;
}

void PlcDataImportTest::encodings()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QByteArray, localeCodec);
    QFETCH(QString, label);
    QFETCH(QString, number);
    QFETCH(bool, warned);

    QTextCodec *codec = QTextCodec::codecForName(localeCodec);
    QVERIFY(codec);
    QTextCodec::setCodecForLocale(codec);

    PlcDataImport reader;
    reader.importSignals(writeFile(bytes), model.get(), infoScreen.get());

    QVERIFY(model->rowCount() >= 2);
    QCOMPARE(model->item(1, 0)->text(), number);
    QCOMPARE(model->item(1, 2)->text(), label);
    QCOMPARE(model->item(1, 3)->text(), QStringLiteral("DI"));
    const QStringList info = infoLines();
    QCOMPARE(info.first(), QStringLiteral("1:%1,%2").arg(label, number));
    const bool warning = info.last().startsWith(QLatin1String("Warning:"));
    QCOMPARE(warning, warned);
    if (warned)
        QVERIFY(info.last().contains(QLatin1String("UTF-8")));
}

void PlcDataImportTest::unreadableFileLeavesModelEmpty_data()
{
    QTest::addColumn<QString>("name");
    QTest::newRow("missing file") << "missing.csv";
    QTest::newRow("a folder") << "folder";
    QTest::newRow("empty name") << "";
}

void PlcDataImportTest::unreadableFileLeavesModelEmpty()
{
    QFETCH(QString, name);

    QVERIFY(QDir(dir->path()).mkdir(QStringLiteral("folder")));
    PlcDataImport reader;
    reader.importSignals(writeFile("1;10;Old;DI\n"), model.get(), infoScreen.get());
    QCOMPARE(model->rowCount(), 2);
    infoScreen->clear();

    reader.importSignals(name.isEmpty() ? QString() : dir->filePath(name), model.get(),
                         infoScreen.get());
    QCOMPARE(model->rowCount(), 0);
    QCOMPARE(headers(*model), QStringList({"Signal Number", "Address", "Label", "Type"}));
    QVERIFY(infoLines().isEmpty());
}

void PlcDataImportTest::importingTwiceReplaces()
{
    PlcDataImport reader;
    reader.importSignals(writeFile("1;10;First;DI\n2;20;Second;DI\n"), model.get(),
                         infoScreen.get());
    reader.importSignals(writeFile("3;30;Third;DO\n"), model.get(), infoScreen.get());

    QCOMPARE(model->rowCount(), 2);
    QCOMPARE(model->item(0, 2)->text(), QStringLiteral("NoRef"));
    QCOMPARE(signalRows(*model), QList<QStringList>({{"3", "30", "Third", "DO"}}));
    QCOMPARE(model->findItems(QStringLiteral("NoRef"), Qt::MatchExactly, 2).size(), 1);
    // Each run counts from one again.
    QCOMPARE(infoLines(), QStringList({"1:First,1", "2:Second,2", "1:Third,3"}));
}

void PlcDataImportTest::cellsArePlainTopLevelText()
{
    // A model used for something else before: wider, with rows of its own.
    model->setColumnCount(6);
    model->appendRow(new QStandardItem(QStringLiteral("other")));
    model->item(0)->appendRow(new QStandardItem(QStringLiteral("child")));

    PlcDataImport reader;
    reader.importSignals(writeFile("7;70;Lamp;DO\n"), model.get(), infoScreen.get());

    QCOMPARE(model->columnCount(), 4);
    QCOMPARE(model->rowCount(), 2);
    const QStringList placeholder{"", "", "NoRef", ""};
    for (int row = 0; row < model->rowCount(); ++row) {
        for (int column = 0; column < 4; ++column) {
            const QStandardItem *item = model->item(row, column);
            QVERIFY(item);
            QVERIFY(!item->hasChildren());
            QCOMPARE(item->data(Qt::DisplayRole).userType(), int(QMetaType::QString));
            if (row == 0)
                QCOMPARE(item->text(), placeholder.at(column));
        }
    }
}

void PlcDataImportTest::worksWithoutInfoScreen()
{
    PlcDataImport reader;
    reader.importSignals(writeFile("1;10;A;DI\n"), model.get(), nullptr);
    QCOMPARE(signalRows(*model), QList<QStringList>({{"1", "10", "A", "DI"}}));
    reader.importSignals(writeFile("1;10;A;DI\n"), nullptr, infoScreen.get());
    QVERIFY(infoLines().isEmpty());
}

// Each append makes the screen lay out again: a long list must arrive as one edit.
void PlcDataImportTest::longListReachesInfoScreenAtOnce()
{
    const int count = 20000;
    QByteArray bytes;
    for (int i = 1; i <= count; ++i)
        bytes += QByteArray::number(i) + ";" + QByteArray::number(1000 + i) + ";L" +
                 QByteArray::number(i) + ";DI\n";
    QSignalSpy edits(infoScreen.get(), &QPlainTextEdit::textChanged);
    PlcDataImport reader;
    reader.importSignals(writeFile(bytes), model.get(), infoScreen.get());
    QCOMPARE(model->rowCount(), count + 1);
    QCOMPARE(edits.count(), 1);
    const QStringList lines = infoLines();
    QCOMPARE(lines.size(), count);
    QCOMPARE(lines.first(), QStringLiteral("1:L1,1"));
    QCOMPARE(lines.last(), QStringLiteral("%1:L%1,%1").arg(count));
}

void PlcDataImportTest::openProjectWithList(Project &project)
{
    project.connector.setDatabaseName(project.dir.filePath(QStringLiteral("p.sclpro")));
    QVERIFY(project.connector.open());
    project.db = std::make_unique<Iec61850DbManager>(&project.connector);
    project.db->createSelectionTables();
    project.db->createModelTables();
    SignalListImporter importer(nullptr, nullptr);
    QVERIFY(importer.importFile(writeFile("1;10;Old A;DI\n2;20;Old B;DI\n"), model.get(),
                                project.db.get(), {}));
}

QStringList PlcDataImportTest::storedLabels(Project &project)
{
    QStringList labels;
    for (const QStringList &row : project.db->selectTexts(SignalsTable, QString()))
        labels.append(row.value(3));
    return labels;
}

void PlcDataImportTest::importerRefusesListsWithoutSignals_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("comma separated") << QByteArray("1,10,A,DI\n2,20,B,DI\n");
    QTest::newRow("blank lines only") << QByteArray("\n  \n");
    QTest::newRow("unreadable") << QByteArray();
}

void PlcDataImportTest::importerRefusesListsWithoutSignals()
{
    QFETCH(QByteArray, bytes);
    Project project;
    openProjectWithList(project);
    const QStringList before{"NoRef", "Old A", "Old B"};

    ScriptedPrompt prompt;
    const QString path =
        bytes.isNull() ? dir->filePath(QStringLiteral("absent.csv")) : writeFile(bytes);
    SignalListImporter importer(nullptr, infoScreen.get());
    QVERIFY(!importer.importFile(path, model.get(), project.db.get(), {}));
    QCOMPARE(prompt.messages.size(), 1);
    QCOMPARE(prompt.messages.first().kind, PromptMessage::Warning);
    QVERIFY(prompt.messages.first().text.contains(QDir::toNativeSeparators(path)));
    QCOMPARE(model->rowCount(), 3);
    QCOMPARE(model->item(2, PlcDataImport::LabelColumn)->text(), QStringLiteral("Old B"));
    QCOMPARE(storedLabels(project), before);
}

void PlcDataImportTest::importerTellsWhatToCheck()
{
    Project project;
    openProjectWithList(project);
    // Twelve picks bound to signals the new list lacks, and one bound to one it has.
    SelectedObjectsModel objects;
    for (int pick = 1; pick <= 13; ++pick) {
        QList<QStandardItem *> row;
        for (int column = 0; column < SelectedObjectsModel::ColumnCount; ++column)
            row.append(new QStandardItem);
        row.first()->setText(QStringLiteral("LD/GGIO1.Ind%1").arg(pick));
        row.first()->setData(DataObjectKind, KindRole);
        row.first()->setData(QStringLiteral("ST"), GroupRole);
        objects.setupRow(row, true);
        row.at(SelectedObjectsModel::ReadTrigSignalColumn)
            ->setText(pick == 13 ? QStringLiteral("Kept") : QStringLiteral("Gone%1").arg(pick));
        row.at(SelectedObjectsModel::StatusSignalColumn)->setText(NoSignalName);
        objects.appendRow(row);
    }

    ScriptedPrompt prompt;
    const QString path = writeFile("Number,Address,Label,Type\n1;10;Kept;DI\n\nx\n2;20;New;DO\n");
    SignalListImporter importer(nullptr, infoScreen.get());
    QVERIFY(importer.importFile(path, model.get(), project.db.get(), {&objects}));
    QCOMPARE(storedLabels(project), QStringList({"NoRef", "Kept", "New"}));
    QCOMPARE(model->rowCount(), 3);
    QCOMPARE(objects.item(0, SelectedObjectsModel::ReadTrigSignalColumn)->text(),
             QStringLiteral("Gone1"));

    QCOMPARE(prompt.messages.size(), 1);
    QCOMPARE(prompt.messages.first().kind, PromptMessage::Information);
    const QString text = prompt.messages.first().text;
    QVERIFY2(text.contains(QStringLiteral(": 2; the first is line 1.")), qPrintable(text));
    QVERIFY2(text.contains(QStringLiteral(": 12. They are kept as they are:\nGone1\nGone2\n")),
             qPrintable(text));
    QVERIFY2(text.endsWith(QStringLiteral("\nGone9\nGone10\n...")), qPrintable(text));
}

QTEST_MAIN(PlcDataImportTest)
#include "tst_plcdataimport.moc"
