// Real SCL files: every IED of every sample parses into a consistent model, and
// the example files give the values the devices built from them use.

#include "scldataobjectspass.h"
#include "sclparser.h"
#include "sclparsertesthelpers.h"

#include <QDir>
#include <QDirIterator>
#include <QRegularExpression>
#include <QSet>
#include <QtTest>

class TestSclSamples : public QObject
{
    Q_OBJECT

private slots:
    void parsesEveryIed_data();
    void parsesEveryIed();
    void readsReportDefaultsOfLiveModel();
    void parsesExampleStation();

private:
    void checkBranch(QStandardItem *ied, const QString &branch);
};

namespace {

int countNodes(const QStandardItem *item)
{
    int count = 1;
    for (int row = 0; row < item->rowCount(); ++row)
        count += countNodes(item->child(row));
    return count;
}

QString constraintOf(const QStandardItem *node)
{
    for (; node; node = node->parent()) {
        if (node->data(KindRole).toInt() == FunctionalConstraintKind &&
            node->data(KindRole).isValid())
            return node->text();
    }
    return {};
}

// Ids unique and parent ids linked; a data object copied into a data set
// repeats ids of the DataObjects branch, so data sets check links only.
void checkNode(QStandardItem *node, const QString &branch, QSet<QString> &ids, bool copied)
{
    const QString id = node->data(NodeIdRole).toString();
    QVERIFY2(!id.isEmpty(), qPrintable(node->text()));
    if (!copied) {
        QVERIFY2(!ids.contains(id), qPrintable(branch + " id " + id));
        ids.insert(id);
    }
    const int kind = node->data(KindRole).toInt();
    QStandardItem *parent = node->parent();
    const int parentKind = parent->data(KindRole).toInt();
    QCOMPARE(node->data(ParentIdRole), parent->data(NodeIdRole));
    QVERIFY(!node->isEditable());
    switch (kind) {
    case LogicalDeviceKind:
        QCOMPARE(parentKind, int(IedKind));
        break;
    case LogicalNodeKind:
        QCOMPARE(parentKind, int(LogicalDeviceKind));
        break;
    case FunctionalConstraintKind:
        QCOMPARE(parentKind, int(LogicalNodeKind));
        QVERIFY(FunctionalConstraintList().contains(node->text()));
        QVERIFY(node->rowCount() > 0);
        break;
    case DataSetKind:
        QCOMPARE(parentKind, int(LogicalNodeKind));
        break;
    case UnbufferedReportKind:
    case BufferedReportKind:
        QCOMPARE(parentKind, int(LogicalNodeKind));
        QCOMPARE(node->text().contains(".BR."), kind == BufferedReportKind);
        QCOMPARE(node->data(BufferedRole).toBool(), kind == BufferedReportKind);
        break;
    case DataAttributeKind:
        QVERIFY(node->data(MmsTypeRole).isValid());
        // A data set member naming what the IED lacks has no type at all.
        QCOMPARE(node->data(BTypeRole).isValid(),
                 node->data(MmsTypeRole).toInt() != MmsUnknownType);
        if (branch == "DataObjects" || copied) {
            const QString expected = leafAttributeText(
                nodeNamePart(node->text()), constraintOf(node), node->data(BTypeRole).toString());
            QVERIFY(copied || node->text() == expected);
        }
        break;
    case DataObjectKind:
        if (parentKind == FunctionalConstraintKind)
            QVERIFY2(node->rowCount() > 0, qPrintable(node->text()));
        // Data objects, sub data objects and structures are typed as the
        // device serves them, and so are arrays of them.
        if (node->rowCount() > 0) {
            const bool array = node->child(0)->text().startsWith('[');
            QCOMPARE(node->data(MmsTypeRole), QVariant(int(array ? MmsArray : MmsStructure)));
        }
        break;
    default:
        QFAIL(qPrintable(QString("unexpected kind %1 in %2").arg(kind).arg(branch)));
    }
    for (int row = 0; row < node->rowCount(); ++row) {
        QStandardItem *child = node->child(row);
        checkNode(child, branch, ids, copied || (kind == DataSetKind));
        if (QTest::currentTestFailed())
            return;
    }
}

} // namespace

void TestSclSamples::checkBranch(QStandardItem *ied, const QString &branch)
{
    QCOMPARE(ied->data(KindRole), QVariant(int(IedKind)));
    QCOMPARE(ied->data(NodeIdRole), QVariant(QString("0")));
    QCOMPARE(ied->data(ParentIdRole), QVariant(-1));
    QSet<QString> ids{"0"};
    for (int row = 0; row < ied->rowCount(); ++row) {
        checkNode(ied->child(row), branch, ids, false);
        if (QTest::currentTestFailed())
            return;
    }
}

void TestSclSamples::parsesEveryIed_data()
{
    QSKIP_WITHOUT_SHARED();
    QTest::addColumn<QString>("file");
    const QString samples = QDir(sharedDir()).filePath("scl-samples");
    QDirIterator it(samples, {"*.scd", "*.cid", "*.icd", "*.iid", "*.scl", "*.xml"}, QDir::Files,
                    QDirIterator::Subdirectories);
    QStringList files;
    while (it.hasNext())
        files << it.next();
    files.sort();
    if (files.isEmpty())
        QSKIP("no SCL samples in the shared folder");
    for (const QString &file : files)
        QTest::newRow(qPrintable(QDir(samples).relativeFilePath(file))) << file;
}

void TestSclSamples::parsesEveryIed()
{
    QFETCH(QString, file);
    SclParser parser;
    const QStringList names = parser.loadIedNames(file);
    for (const QString &name : names) {
        QStandardItemModel model;
        const bool parsed = parser.parse(name, &model);
        QCOMPARE(model.rowCount(), 1);
        QStandardItem *root = model.item(0);
        QCOMPARE(childTexts(root),
                 (QStringList{"Connection", "DataObjects", "DataSets", "Reports"}));
        if (!parsed) {
            QVERIFY(parser.logicalNodeRecords().isEmpty());
            continue;
        }
        QCOMPARE(nodeAt(model, {"Connection"})->rowCount(), 16);
        for (const QString &branch : QStringList{"DataObjects", "DataSets", "Reports"}) {
            QStandardItem *branchRoot = nodeAt(model, {branch});
            QCOMPARE(branchRoot->rowCount(), 1);
            checkBranch(branchRoot->child(0), branch);
            if (QTest::currentTestFailed())
                return;
        }
        // The model's size follows the IED, whatever the file holds.
        QVERIFY(countNodes(root) < 2 * SclDataObjectsPass::MaxNodes);
    }
    if (file.endsWith("parsererror.iid"))
        QVERIFY(names.isEmpty());
}

void TestSclSamples::readsReportDefaultsOfLiveModel()
{
    QSKIP_WITHOUT_SHARED();
    const QString file =
        QDir(sharedDir()).filePath("scl-samples/libiec61850/simpleIO_direct_control.cid");
    if (!QFileInfo::exists(file))
        QSKIP("simpleIO_direct_control.cid is absent");
    SclParser parser;
    QCOMPARE(parser.loadIedNames(file), QStringList{"simpleIO"});
    QStandardItemModel model;
    QVERIFY(parser.parse("simpleIO", &model));
    QStandardItem *ln = nodeAt(model, {"Reports", "simpleIO", "GenericIO", "LLN0"});
    QVERIFY(ln);
    // The device serves this block as EventsRCB01: an indexed instance.
    QStandardItem *events = childByText(ln, "simpleIOGenericIO/LLN0.RP.EventsRCB");
    QVERIFY(events);
    QCOMPARE(events->data(IndexedRole), QVariant(true));
    QCOMPARE(events->data(MaxIndexRole), QVariant(1));
    QCOMPARE(events->data(DatasetRefRole), QVariant(QString("simpleIOGenericIO/LLN0.Events")));
    QStandardItem *indexed = childByText(ln, "simpleIOGenericIO/LLN0.RP.EventsIndexed");
    QVERIFY(indexed);
    QCOMPARE(indexed->data(MaxIndexRole), QVariant(3));
    QStandardItem *buffered = childByText(ln, "simpleIOGenericIO/LLN0.BR.EventsBRCB");
    QVERIFY(buffered);
    QCOMPARE(buffered->data(KindRole), QVariant(int(BufferedReportKind)));
    // Its controllable outputs carry their control model under CF.
    QStandardItem *spcso =
        nodeAt(model, {"DataObjects", "simpleIO", "GenericIO", "GGIO1", "CF", "SPCSO1"});
    QVERIFY(spcso);
    QVERIFY(spcso->data(CtlModelRole).isValid());
}

void TestSclSamples::parsesExampleStation()
{
    const QString file = sourceFile("examples/substation.scd");
    if (!QFileInfo::exists(file))
        QSKIP("the example station is absent");
    SclParser parser;
    const QStringList names = parser.loadIedNames(file);
    QCOMPARE(names, (QStringList{"BAY1_PROT", "BAY2_MEAS"}));
    for (const QString &name : names) {
        QStandardItemModel model;
        QVERIFY(parser.parse(name, &model));
        QCOMPARE(nodeAt(model, {"Connection"})->child(1, 1)->text(), name);
        QVERIFY(!parser.connectionInfo().ipAddress.isEmpty());
        for (const QString &branch : QStringList{"DataObjects", "DataSets", "Reports"}) {
            checkBranch(nodeAt(model, {branch})->child(0), branch);
            if (QTest::currentTestFailed())
                return;
        }
    }
}

QTEST_MAIN(TestSclSamples)
#include "tst_sclsamples.moc"
