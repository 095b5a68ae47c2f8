// The filter rules on a small SCL-shaped tree beside a browsed one: text,
// expressions, the fc:/ln:/ld: words, what stays visible, and the proxy
// following changes of its source.
#include "sclmodel.h"
#include "treefiltermodel.h"

#include <QAbstractItemModelTester>
#include <QStandardItemModel>
#include <QtTest>

class TreeFilterModelTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void matches_data();
    void matches();
    void invalidExpressionIsNotApplied();
    void keepsAncestorsAndWhatLiesBelow();
    void tableRowsMatchInAnyColumn();
    void logicalNodeClass_data();
    void logicalNodeClass();
    void proxyFollowsItsSource();

private:
    QStringList matchPaths(const QString &query);
    QStandardItem *find(const QString &path) const;

    QStandardItemModel tree;
};

void TreeFilterModelTest::init()
{
    // Depth, text, kind (-1: none), as the parser and the online browse build them.
    const QList<std::tuple<int, QString, int>> nodes{
        {0, "E1", IedKind},
        {1, "DataObjects", -1},
        {2, "E1", IedKind},
        {3, "CTRL", LogicalDeviceKind},
        {4, "Q0CSWI1", LogicalNodeKind},
        {5, "ST", FunctionalConstraintKind},
        {6, "Pos", DataObjectKind},
        {7, "stVal{ST,Dbpos}", DataAttributeKind},
        {7, "q{ST,Quality}", DataAttributeKind},
        {5, "CO", FunctionalConstraintKind},
        {6, "Pos", DataObjectKind},
        {7, "ctlVal{CO,BOOLEAN}", DataAttributeKind},
        {4, "Q0XCBR1", LogicalNodeKind},
        {5, "ST", FunctionalConstraintKind},
        {6, "Pos", DataObjectKind},
        {7, "stVal{ST,Dbpos}", DataAttributeKind},
        {3, "PROT", LogicalDeviceKind},
        {4, "PTOC1", LogicalNodeKind},
        {5, "ST", FunctionalConstraintKind},
        {6, "Str", DataObjectKind},
        {6, "Op", DataObjectKind},
        {0, "E1CTRL", LogicalDeviceKind},
        {1, "E1CTRL/Q0CSWI1", LogicalNodeKind},
        {2, "E1CTRL/Q0CSWI1.Pos", DataObjectKind},
        {3, "E1CTRL/Q0CSWI1.Pos.stVal[ST]", DataAttributeKind},
        {1, "E1CTRL/LLN0", LogicalNodeKind},
        {2, "E1CTRL/LLN0$GO$gcb01", GooseControlKind},
    };
    tree.clear();
    QList<QStandardItem *> parents{tree.invisibleRootItem()};
    for (const auto &[depth, text, kind] : nodes) {
        auto *item = new QStandardItem(text);
        if (kind >= 0)
            item->setData(kind, KindRole);
        parents = parents.mid(0, depth + 1);
        parents.last()->appendRow(item);
        parents.append(item);
    }
}

QStandardItem *TreeFilterModelTest::find(const QString &path) const
{
    QStandardItem *current = tree.invisibleRootItem();
    for (const QString &text : path.split('>')) {
        QStandardItem *next = nullptr;
        for (int row = 0; current && row < current->rowCount() && !next; ++row) {
            if (current->child(row)->text() == text)
                next = current->child(row);
        }
        current = next;
    }
    return current;
}

QStringList TreeFilterModelTest::matchPaths(const QString &query)
{
    TreeFilterModel filter;
    filter.setSourceModel(&tree);
    filter.setQuery(query);
    QStringList paths;
    for (const QModelIndex &index : filter.matches()) {
        QStringList texts;
        for (QModelIndex up = index; up.isValid(); up = up.parent())
            texts.prepend(up.data().toString());
        paths.append(texts.join('>'));
    }
    return paths;
}

void TreeFilterModelTest::matches_data()
{
    QTest::addColumn<QString>("query");
    QTest::addColumn<QStringList>("expected");
    const QString cswi = "E1>DataObjects>E1>CTRL>Q0CSWI1";
    const QString xcbr = "E1>DataObjects>E1>CTRL>Q0XCBR1";
    const QString online = "E1CTRL>E1CTRL/Q0CSWI1>E1CTRL/Q0CSWI1.Pos";
    QTest::newRow("substring, any case")
        << "pOS" << QStringList{cswi + ">ST>Pos", cswi + ">CO>Pos", xcbr + ">ST>Pos", online};
    QTest::newRow("suffix in braces not searched") << "dbpos" << QStringList{};
    QTest::newRow("expression") << "^(str|op)$"
                                << QStringList{"E1>DataObjects>E1>PROT>PTOC1>ST>Str",
                                               "E1>DataObjects>E1>PROT>PTOC1>ST>Op"};
    QTest::newRow("class word with text")
        << "ln:CSWI Pos" << QStringList{cswi + ">ST>Pos", cswi + ">CO>Pos", online};
    QTest::newRow("constraint word with text")
        << "fc:st STVAL"
        << QStringList{cswi + ">ST>Pos>stVal{ST,Dbpos}", xcbr + ">ST>Pos>stVal{ST,Dbpos}",
                       online + ">E1CTRL/Q0CSWI1.Pos.stVal[ST]"};
    QTest::newRow("words alone: deepest level") << "ld:CTRL ln:XCBR" << QStringList{xcbr};
    QTest::newRow("constraint word alone") << "fc:CO" << QStringList{cswi + ">CO"};
    QTest::newRow("device word, browsed name too")
        << "ld:ctrl" << QStringList{"E1>DataObjects>E1>CTRL", "E1CTRL"};
    QTest::newRow("all words") << "ld:PROT ln:PTOC fc:ST op"
                               << QStringList{"E1>DataObjects>E1>PROT>PTOC1>ST>Op"};
    QTest::newRow("empty") << "  " << QStringList{};
    QTest::newRow("reference as shown")
        << "LLN0$GO$" << QStringList{"E1CTRL>E1CTRL/LLN0>E1CTRL/LLN0$GO$gcb01"};
    QTest::newRow("reference across levels")
        << "pos.STVAL" << QStringList{online + ">E1CTRL/Q0CSWI1.Pos.stVal[ST]"};
}

void TreeFilterModelTest::matches()
{
    QFETCH(QString, query);
    QFETCH(QStringList, expected);
    QCOMPARE(matchPaths(query), expected);
}

void TreeFilterModelTest::invalidExpressionIsNotApplied()
{
    TreeFilterModel filter;
    filter.setSourceModel(&tree);
    filter.setQuery("Pos[");
    QVERIFY(filter.isActive());
    QVERIFY(!filter.isQueryValid());
    QVERIFY(!filter.queryErrorString().isEmpty());
    QVERIFY(filter.matches().isEmpty());
    QCOMPARE(filter.rowCount(), tree.rowCount());
    QVERIFY(filter.acceptsSource(find("E1>DataObjects>E1>PROT")->index()));
}

void TreeFilterModelTest::keepsAncestorsAndWhatLiesBelow()
{
    TreeFilterModel filter;
    filter.setSourceModel(&tree);
    filter.setQuery("ln:XCBR Pos");
    const QString xcbr = "E1>DataObjects>E1>CTRL>Q0XCBR1";
    for (const QString &shown :
         {QString("E1"), xcbr, xcbr + ">ST>Pos", xcbr + ">ST>Pos>stVal{ST,Dbpos}"})
        QVERIFY2(filter.acceptsSource(find(shown)->index()), qPrintable(shown));
    for (const QString &hidden : {QString("E1>DataObjects>E1>CTRL>Q0CSWI1"),
                                  QString("E1>DataObjects>E1>PROT"), QString("E1CTRL")})
        QVERIFY2(!filter.acceptsSource(find(hidden)->index()), qPrintable(hidden));
    QVERIFY(filter.hasMatchBelow(find(xcbr)->index()));
    QVERIFY(!filter.hasMatchBelow(find(xcbr + ">ST>Pos")->index()));
    // The proxy shows the same: one root, one path down.
    QCOMPARE(filter.rowCount(), 1);
    const QModelIndex ied = filter.index(0, 0, filter.index(0, 0, filter.index(0, 0)));
    const QModelIndex device = filter.index(0, 0, ied);
    QCOMPARE(filter.rowCount(ied), 1);
    QCOMPARE(filter.rowCount(device), 1);
    QCOMPARE(filter.index(0, 0, device).data().toString(), QStringLiteral("Q0XCBR1"));
}

void TreeFilterModelTest::tableRowsMatchInAnyColumn()
{
    QStandardItemModel table;
    auto *pick = new QStandardItem("E1CTRL/Q0XCBR1.Pos");
    pick->setData(DataObjectKind, KindRole);
    pick->setData("ST", GroupRole);
    table.appendRow({pick, new QStandardItem("ST"), new QStandardItem("BAY1_CB_POS")});
    table.appendRow({new QStandardItem("E1PROT/PTOC1.Op"), new QStandardItem("ST"),
                     new QStandardItem("NoRef")});
    TreeFilterModel filter;
    filter.setSourceModel(&table);
    filter.setMatchAllColumns(true);
    filter.setQuery("cb_pos");
    QCOMPARE(filter.matches().size(), 1);
    filter.setQuery("ln:XCBR fc:ST ld:CTRL");
    QCOMPARE(filter.matches(), QModelIndexList{pick->index()});
}

void TreeFilterModelTest::logicalNodeClass_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("nodeClass");
    QTest::newRow("prefix and instance") << "Q0CSWI1"
                                         << "CSWI";
    QTest::newRow("prefix with digits") << "CB1XCBR12"
                                        << "XCBR";
    QTest::newRow("no instance") << "GGIO"
                                 << "GGIO";
    QTest::newRow("root node") << "LLN0"
                               << "LLN0";
}

void TreeFilterModelTest::logicalNodeClass()
{
    QFETCH(QString, name);
    QFETCH(QString, nodeClass);
    QCOMPARE(TreeFilterModel::logicalNodeClass(name), nodeClass);
}

void TreeFilterModelTest::proxyFollowsItsSource()
{
    TreeFilterModel filter;
    QAbstractItemModelTester tester(&filter,
                                    QAbstractItemModelTester::FailureReportingMode::QtTest);
    filter.setSourceModel(&tree);
    filter.setQuery("ln:CSWI");
    QStandardItem *ctrl = find("E1>DataObjects>E1>CTRL");
    auto *added = new QStandardItem("Q1CSWI2");
    added->setData(LogicalNodeKind, KindRole);
    ctrl->appendRow(added);
    QCOMPARE(filter.matches().size(), 3);
    added->setText("Q1XCBR2");
    QCOMPARE(filter.matches().size(), 2);
    filter.setQuery("Pos");
    ctrl->removeRow(0);
    QCOMPARE(filter.matches().size(), 2);
    filter.setQuery(QString());
    tree.clear();
    QCOMPARE(filter.rowCount(), 0);
}

QTEST_MAIN(TreeFilterModelTest)
#include "tst_treefiltermodel.moc"
