// The streamed parts hold the same nodes and texts a whole-file DOM holds, for
// what a parse run reads: the chosen IED, the type templates and the P
// elements of the Address where the IED serves MMS.

#include "scldocumentloader.h"
#include "sclparsertesthelpers.h"

#include <QDir>
#include <QDirIterator>
#include <QDomDocument>
#include <QFile>
#include <QRegularExpression>
#include <QTextStream>
#include <QtTest>

class TestSclDocumentLoader : public QObject
{
    Q_OBJECT

private slots:
    void matchesWholeDocument_data();
    void matchesWholeDocument();
    void keepsNodesThatCountAsChildren();
    void findsIedPastOtherMarkup_data();
    void findsIedPastOtherMarkup();
    void scansAcrossReadBoundaries();
};

namespace {

QStringList messages;

void collectMessage(QtMsgType, const QMessageLogContext &, const QString &message)
{
    messages << message;
}

QString serialized(const QDomNode &node)
{
    QString text;
    QTextStream stream(&text);
    node.save(stream, 1);
    return text;
}

// A node with its own attributes and its child nodes, not deeper.
QString shallow(const QDomNode &node)
{
    QString text = QString::number(node.nodeType()) + ':' + node.nodeName();
    const auto attributes = [](const QDomNode &n) {
        QStringList list;
        const QDomNamedNodeMap map = n.attributes();
        for (int i = 0; i < map.count(); ++i)
            list << map.item(i).nodeName() + '=' + map.item(i).nodeValue();
        list.sort();
        return list.join(',');
    };
    text += '[' + attributes(node) + ']';
    for (QDomNode child = node.firstChild(); !child.isNull(); child = child.nextSibling()) {
        text += " (" + QString::number(child.nodeType()) + ':' + child.nodeName() + '[' +
                attributes(child) + ']';
        // XML parsers report line breaks as LF; a DOM may keep CR LF.
        if (!child.isElement())
            text += '"' + QString(child.nodeValue()).replace("\r\n", "\n") + '"';
        text += ')';
    }
    return text;
}

QDomElement firstWithAttribute(const QDomElement &root, const QString &tag,
                               const QString &attribute, const QString &value)
{
    const QDomNodeList list = root.elementsByTagName(tag);
    for (int i = 0; i < list.size(); ++i) {
        if (list.at(i).toElement().attribute(attribute) == value)
            return list.at(i).toElement();
    }
    return {};
}

// The P elements of the Address of every ConnectedAP of the IED that has one;
// which of them the IED is reached at, the parser tests tell.
QList<QStringList> addressesOf(const QDomElement &root, const QString &iedName)
{
    QList<QStringList> addresses;
    const QDomNodeList list = root.elementsByTagName("ConnectedAP");
    for (int i = 0; i < list.size(); ++i) {
        const QDomElement ap = list.at(i).toElement();
        if (ap.attribute("iedName") != iedName || ap.firstChildElement("Address").isNull())
            continue;
        QStringList parameters;
        for (QDomElement address = ap.firstChildElement("Address"); !address.isNull();
             address = address.nextSiblingElement("Address")) {
            for (QDomElement p = address.firstChildElement("P"); !p.isNull();
                 p = p.nextSiblingElement("P"))
                parameters << p.attribute("type") + '=' + p.text().replace("\r\n", "\n");
        }
        addresses << parameters;
    }
    return addresses;
}

QStringList shallowAll(const QDomElement &root, const QString &tag)
{
    QStringList result;
    const QDomNodeList list = root.elementsByTagName(tag);
    for (int i = 0; i < list.size(); ++i)
        result << shallow(list.at(i));
    return result;
}

} // namespace

void TestSclDocumentLoader::matchesWholeDocument_data()
{
    QTest::addColumn<QString>("file");
    for (const QString &name : QStringList{"model.scd", "devices.scd", "badtypes.scd", "names.scd",
                                           "tricky.scd", "latin1.scd"})
        QTest::newRow(qPrintable(name)) << fixture(name);
    const QString example = sourceFile("examples/substation.scd");
    if (QFileInfo::exists(example))
        QTest::newRow("example station") << example;
    if (sharedDir().isEmpty())
        return;
    QDirIterator it(QDir(sharedDir()).filePath("scl-samples"),
                    {"*.scd", "*.cid", "*.icd", "*.iid", "*.xml"}, QDir::Files,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString file = it.next();
        QTest::newRow(qPrintable(QFileInfo(file).fileName())) << file;
    }
}

void TestSclDocumentLoader::matchesWholeDocument()
{
    QFETCH(QString, file);
    QFile input(file);
    QVERIFY(input.open(QIODevice::ReadOnly));
    QDomDocument whole;
    const bool wellFormed = whole.setContent(&input, false);
    SclDocumentLoader loader;
    QCOMPARE(loader.load(file), wellFormed);
    if (!wellFormed) {
        QVERIFY(loader.iedNames().isEmpty());
        QVERIFY(loader.typesRoot().isNull());
        return;
    }
    const QDomElement wholeRoot = whole.documentElement();

    QStringList expectedNames;
    const QDomNodeList ieds = wholeRoot.elementsByTagName("IED");
    for (int i = 0; i < ieds.size(); ++i) {
        if (ieds.at(i).toElement().hasAttribute("name"))
            expectedNames << ieds.at(i).toElement().attribute("name");
    }
    QCOMPARE(loader.iedNames(), expectedNames);
    for (const QString &tag : QStringList{"LNodeType", "DOType", "DAType"})
        QCOMPARE(shallowAll(loader.typesRoot(), tag), shallowAll(wholeRoot, tag));

    for (const QString &name : loader.iedNames()) {
        const QDomDocument part = loader.loadIed(name);
        QCOMPARE(serialized(part.documentElement().firstChildElement()),
                 serialized(firstWithAttribute(wholeRoot, "IED", "name", name)));

        const QList<QStringList> addresses = addressesOf(wholeRoot, name);
        const QVector<SclAddressParameter> *parameters = loader.accessPoint(name);
        QCOMPARE(parameters != nullptr, !addresses.isEmpty());
        QStringList actual;
        for (const SclAddressParameter &p :
             parameters ? *parameters : QVector<SclAddressParameter>())
            actual << p.type + '=' + p.text;
        QVERIFY(!parameters || addresses.contains(actual));
    }
    QVERIFY(loader.loadIed("no such IED").isNull());
}

void TestSclDocumentLoader::keepsNodesThatCountAsChildren()
{
    QTemporaryFile file;
    QVERIFY(file.open());
    file.write("<?xml version=\"1.0\"?>\n<SCL><DataTypeTemplates>\n"
               "<DOType id=\"T\">\n  <DA name=\"a\"><Val>deep</Val></DA>\n  <!-- c -->\n"
               "  <?pi data?>\n  text &amp; more\n  <![CDATA[ ]]>\n  <SDO name=\"b\"/>\n"
               "</DOType></DataTypeTemplates></SCL>\n");
    file.close();
    SclDocumentLoader loader;
    QVERIFY(loader.load(file.fileName()));
    const QDomElement doType = loader.typesRoot().firstChildElement("DOType");
    QStringList kinds;
    for (QDomNode child = doType.firstChild(); !child.isNull(); child = child.nextSibling())
        kinds << QString::number(child.nodeType());
    // element, comment, processing instruction, text, CDATA, element
    QCOMPARE(kinds.join(','), QString("1,8,7,3,4,1"));
    QCOMPARE(doType.childNodes().at(3).nodeValue(), QString("\n  text & more\n  "));
    // Values below the type's children are never read and not kept.
    QVERIFY(doType.firstChildElement("DA").firstChild().isNull());
}

void TestSclDocumentLoader::findsIedPastOtherMarkup_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("ied");
    QTest::addColumn<QString>("ldInst");
    QTest::addColumn<QString>("configRev");

    // Look-alikes in comments, CDATA and processing instructions come first;
    // a name with a character reference needs the XML reader's decoding; an
    // entity of the DOCTYPE cannot be read from the IED's bytes alone.
    for (const QString &name : QStringList{"tricky.scd", "latin1.scd"}) {
        QTest::newRow(qPrintable(name + " T1")) << fixture(name) << "T1"
                                                << "Real"
                                                << "rev A";
        QTest::newRow(qPrintable(name + " A&B")) << fixture(name) << "A&B"
                                                 << "Amp"
                                                 << "";
        QTest::newRow(qPrintable(name + " entity")) << fixture(name) << "Entity"
                                                    << "E"
                                                    << "ACME & Sons";
        QTest::newRow(qPrintable(name + " non-ASCII name")) << fixture(name) << "Schütz"
                                                            << "Ü"
                                                            << "";
    }
}

void TestSclDocumentLoader::findsIedPastOtherMarkup()
{
    QFETCH(QString, file);
    QFETCH(QString, ied);
    QFETCH(QString, ldInst);
    QFETCH(QString, configRev);

    // The same file once more in UTF-16, which is never scanned as bytes.
    QTemporaryFile utf16;
    QVERIFY(utf16.open());
    {
        QFile source(file);
        QVERIFY(source.open(QIODevice::ReadOnly));
        QString text = QString::fromUtf8(source.readAll());
        if (file.endsWith("latin1.scd")) {
            source.seek(0);
            text = QString::fromLatin1(source.readAll());
        }
        text.replace(QRegularExpression("encoding=\"[^\"]*\""), "encoding=\"UTF-16\"");
        QTextStream stream(&utf16);
        stream.setCodec("UTF-16");
        stream.setGenerateByteOrderMark(true);
        stream << text;
    }
    utf16.close();

    for (const QString &path : QStringList{file, utf16.fileName()}) {
        SclDocumentLoader loader;
        QVERIFY2(loader.load(path), qPrintable(path));
        QCOMPARE(loader.iedNames(), (QStringList{"A&B", "T1", "Entity", "Schütz"}));
        messages.clear();
        const QtMessageHandler previous = qInstallMessageHandler(collectMessage);
        const QDomDocument document = loader.loadIed(ied);
        qInstallMessageHandler(previous);
        // A UTF-8 file is scanned as bytes; only the entity needs a second read.
        if (path == file && file.endsWith("tricky.scd"))
            QCOMPARE(messages.join('\n').contains("read again"), ied == "Entity");
        const QDomElement element = document.documentElement().firstChildElement();
        QCOMPARE(element.attribute("name"), ied);
        QCOMPARE(element.elementsByTagName("LDevice").at(0).toElement().attribute("inst"), ldInst);
        QCOMPARE(element.elementsByTagName("Val").at(0).toElement().text(), configRev);
    }
}

void TestSclDocumentLoader::scansAcrossReadBoundaries()
{
    // The file is read in pieces of 1 MiB: let every construct before and in
    // the IED's start tag straddle a boundary in turn.
    const int piece = 1 << 20;
    const QByteArray tail = "<!-- <IED name=\"X\"> --><![CDATA[<IED name=\"X\">]]>"
                            "<?pi <IED name=\"X\"> ?><IED desc=\"&lt;&gt; >\" name=\"X\"><LDevice "
                            "inst=\"Real\"/></IED></SCL>\n";
    const QByteArray head = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<SCL><Private>";
    for (int shift = 0; shift < tail.size(); ++shift) {
        QTemporaryFile file;
        QVERIFY(file.open());
        const int padding = piece - head.size() - int(qstrlen("</Private>")) - shift;
        file.write(head + QByteArray(padding, 'x') + "</Private>" + tail);
        file.close();
        SclDocumentLoader loader;
        QVERIFY(loader.load(file.fileName()));
        messages.clear();
        const QtMessageHandler previous = qInstallMessageHandler(collectMessage);
        const QDomDocument document = loader.loadIed("X");
        qInstallMessageHandler(previous);
        QVERIFY2(messages.isEmpty(), qPrintable(messages.join('\n')));
        const QDomElement ied = document.documentElement().firstChildElement();
        QCOMPARE(ied.attribute("desc"), QString("<> >"));
        QCOMPARE(ied.firstChildElement().attribute("inst"), QString("Real"));
    }
}

QTEST_MAIN(TestSclDocumentLoader)
#include "tst_scldocumentloader.moc"
