// SCL files made to exhaust the reader: entity expansion (the "billion
// laughs" and one large entity referenced over and over), element nesting,
// elements with thousands of attributes and names of megabytes.
// Each is refused as a whole, quickly and in little memory; the same
// constructs within the bounds still read.

#include "scldocumentloader.h"
#include "sclmarkupguard.h"
#include "sclparser.h"
#include "sclparsertesthelpers.h"

#include <QFile>
#include <QStandardItemModel>
#include <QTemporaryDir>
#include <QtTest>

class TestSclHostileInput : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void refused_data();
    void refused();
    void withinBounds_data();
    void withinBounds();

private:
    QString write(const QString &name, const QByteArray &content);

    QTemporaryDir dir;
    QByteArray example;
};

namespace {

const QByteArray Declaration = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";

// The example file with a DOCTYPE after its XML declaration.
QByteArray withDoctype(QByteArray scl, const QByteArray &doctype)
{
    return scl.replace(Declaration, Declaration + doctype + '\n');
}

QByteArray laughs()
{
    QByteArray doctype = "<!DOCTYPE SCL [<!ENTITY lol0 \"lol\">";
    for (int i = 1; i < 10; ++i)
        doctype += "<!ENTITY lol" + QByteArray::number(i) + " \"" +
                   QByteArray("&lol" + QByteArray::number(i - 1) + ";").repeated(10) + "\">";
    return doctype + "]>";
}

// levels elements nested in the access point of BAY1_PROT, itself three levels deep.
QByteArray nested(const QByteArray &scl, int levels)
{
    const QByteArray inner =
        QByteArray("<Private>").repeated(levels) + QByteArray("</Private>").repeated(levels);
    const QByteArray accessPoint = "<AccessPoint name=\"S1\">";
    const int at = scl.indexOf(accessPoint);
    return at < 0 ? scl : QByteArray(scl).insert(at + accessPoint.size(), inner);
}

} // namespace

void TestSclHostileInput::initTestCase()
{
    QVERIFY(dir.isValid());
    QFile file(sourceFile(QStringLiteral("examples/substation.scd")));
    QVERIFY(file.open(QIODevice::ReadOnly));
    example = file.readAll();
    QVERIFY(example.startsWith(Declaration));
}

QString TestSclHostileInput::write(const QString &name, const QByteArray &content)
{
    const QString path = dir.filePath(name);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(content) != content.size())
        return QString();
    return path;
}

void TestSclHostileInput::refused_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("reason");
    const QByteArray large = QByteArray("x").repeated(3000);
    const QByteArray amplifier = "<!DOCTYPE SCL [<!ENTITY e \"" + large + "\">]>";
    QTest::newRow("billion laughs in an attribute")
        << withDoctype(example, laughs())
               .replace("<IED name=\"BAY1_PROT\"", "<IED owner=\"&lol9;\" name=\"BAY1_PROT\"")
        << "entity expansion limit";
    QTest::newRow("billion laughs in a text")
        << withDoctype(example, laughs()).replace("192.168.10.11", "&lol9;")
        << "entity expansion limit";
    // 900 kB that would expand to 900 million characters.
    QTest::newRow("one entity in a text, over and over")
        << withDoctype(example, amplifier)
               .replace("192.168.10.11", QByteArray("&e;").repeated(300000))
        << "expand to more than";
    QTest::newRow("one entity in attributes, over and over")
        << withDoctype(example, amplifier)
               .replace("<IED name=\"BAY1_PROT\"", "<IED owner=\"" +
                                                       QByteArray("&e;").repeated(300000) +
                                                       "\" name=\"BAY1_PROT\"")
        << "expand to more than";
    QTest::newRow("nesting in the IED")
        << nested(example, SclDocumentLoader::MaxElementDepth) << "nested deeper than";
    QTest::newRow("200000 levels of nesting before the IEDs")
        << QByteArray(example).replace(
               "<Communication>", QByteArray("<Private>").repeated(200000) +
                                      QByteArray("</Private>").repeated(200000) + "<Communication>")
        << "nested deeper than";
    // The reader's duplicate check would take minutes over these.
    QStringList attributes;
    for (int i = 0; i < 100000; ++i)
        attributes << QStringLiteral("a%1=\"x\"").arg(i);
    QTest::newRow("100000 attributes on the IED")
        << QByteArray(example).replace("<IED name=\"BAY1_PROT\"",
                                       "<IED " + attributes.join(' ').toLatin1() +
                                           " name=\"BAY1_PROT\"")
        << "line 51: an element with more than 256 attributes";
    QTest::newRow("a 4 MB IED name")
        << QByteArray(example).replace("<IED name=\"BAY1_PROT\"",
                                       "<IED name=\"" + QByteArray(4 << 20, 'N') + "\"")
        << "line 51: attribute \"name\" is longer than 65536 characters";
    QTest::newRow("a 4 MB LN inst")
        << QByteArray(example).replace("inst=\"1\" lnType=\"SS_XCBR\"",
                                       "inst=\"" + QByteArray(4 << 20, '1') +
                                           "\" lnType=\"SS_XCBR\"")
        << "line 137: attribute \"inst\" is longer than 65536 characters";
    QTest::newRow("a 4 MB element name")
        << QByteArray(example).replace("<Communication>",
                                       "<" + QByteArray(4 << 20, 'P') + "/><Communication>")
        << "an element name longer than 1024 characters";
}

void TestSclHostileInput::refused()
{
    QFETCH(QByteArray, content);
    QFETCH(QString, reason);
    const QString path = write(QStringLiteral("hostile.scd"), content);
    QVERIFY(!path.isEmpty());
    QTest::ignoreMessage(QtDebugMsg, QRegularExpression("not well-formed XML.*" + reason));
    SclParser parser;
    QCOMPARE(parser.loadIedNames(path), QStringList());
    QVERIFY2(parser.loadError().contains(QRegularExpression(reason)),
             qPrintable(parser.loadError()));
    QStandardItemModel model;
    QVERIFY(!parser.parse(QStringLiteral("BAY1_PROT"), &model));
}

void TestSclHostileInput::withinBounds_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("ipAddress");
    QTest::newRow("plain example") << example << "192.168.10.11";
    QTest::newRow("entities of the DOCTYPE")
        << withDoctype(example, "<!DOCTYPE SCL [<!ENTITY net \"192.168\"><!ENTITY ip "
                                "\"&net;.10.11\"><!ENTITY me \"BAY1_PROT\">]>")
               .replace("192.168.10.11", "&ip;")
               .replace("<IED name=\"BAY1_PROT\"", "<IED owner=\"&me;\" name=\"BAY1_PROT\"")
        << "192.168.10.11";
    // Expanding to exactly the budget.
    QTest::newRow("entity references up to the budget")
        << withDoctype(example,
                       "<!DOCTYPE SCL [<!ENTITY e \"" + QByteArray("x").repeated(4096) + "\">]>")
               .replace("<IED name=\"BAY1_PROT\"",
                        "<IED owner=\"" +
                            QByteArray("&e;").repeated(
                                int(SclDocumentLoader::MaxEntityExpansion / 4096) - 10) +
                            "\" name=\"BAY1_PROT\"")
        << "192.168.10.11";
    QTest::newRow("nesting at the bound")
        << nested(example, SclDocumentLoader::MaxElementDepth - 5) << "192.168.10.11";
    QStringList attributes;
    for (int i = 7; i < SclMarkupGuard::MaxAttributes; ++i)
        attributes << QStringLiteral("a%1='>'").arg(i);
    QTest::newRow("attributes, names and values at the bounds, markup in comments")
        << QByteArray(example)
               .replace("<IED name=\"BAY1_PROT\"",
                        "<!-- <x " + QByteArray("a=\"\" ").repeated(1000) +
                            "> -->"
                            "<![CDATA[<y " +
                            QByteArray("b='' ").repeated(1000) +
                            ">]]>"
                            "<IED " +
                            attributes.join(' ').toLatin1() + " name=\"BAY1_PROT\"")
               .replace("desc=\"Bay 1 protection and control unit\"",
                        "desc=\"" + QByteArray(SclMarkupGuard::MaxAttributeLength, 'd') + "\"")
        << "192.168.10.11";
}

void TestSclHostileInput::withinBounds()
{
    QFETCH(QByteArray, content);
    QFETCH(QString, ipAddress);
    const QString path = write(QStringLiteral("within.scd"), content);
    QVERIFY(!path.isEmpty());
    SclParser parser;
    QCOMPARE(parser.loadIedNames(path), (QStringList{"BAY1_PROT", "BAY2_MEAS"}));
    QStandardItemModel model;
    QVERIFY(parser.parse(QStringLiteral("BAY1_PROT"), &model));
    QCOMPARE(parser.connectionInfo().ipAddress, ipAddress);
    QVERIFY(nodeAt(model, {"DataObjects"}));
}

QTEST_MAIN(TestSclHostileInput)
#include "tst_sclhostileinput.moc"
