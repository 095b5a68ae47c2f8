// Response times of the CID tree on an IED of vendor size: expanding the whole
// DataObjects branch with the keyboard, as the engineer does with "*"; the
// filter field, per keystroke and until the filtered tree is painted; picking
// 500 selected nodes at once, and the same again when all are duplicates.

#include "benchsupport.h"
#include "ciditemstree.h"
#include "filterfield.h"
#include "scldataexporter.h"
#include "sclgenerator.h"
#include "sclmodel.h"
#include "sclparser.h"
#include "selecteddatasetsmodel.h"
#include "selecteditemsmodel.h"
#include "selectedobjectsmodel.h"
#include "selectedreportsmodel.h"
#include "treefiltermodel.h"
#include "treeviewcontainer.h"
#include "userprompt.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QLineEdit>
#include <QStandardItem>
#include <QTemporaryDir>
#include <QTextStream>

#include <algorithm>
#include <cstdio>

namespace {

// The item and everything below it.
int subtreeSize(const QStandardItem *item)
{
    return 1 + SclDataExporter::countNodes(item);
}

QTextStream out(stdout);

int countLogicalNodes(const QStandardItem *item)
{
    int count = item->data(KindRole).toInt() == LogicalNodeKind ? 1 : 0;
    for (int row = 0; row < item->rowCount(); ++row)
        count += countLogicalNodes(item->child(row));
    return count;
}

// Until the window has laid out and painted what the event left behind.
void settle(QWidget *window)
{
    QApplication::processEvents();
    window->repaint();
    QApplication::processEvents();
}

qint64 expandAllByKey(TreeviewContainer &container, SelectedItemsModel &model)
{
    CidItemsTree *tree = container.cidTree();
    tree->collapseAll();
    settle(&container);
    const QModelIndex dataObjects = model.index(SclBranch::DataObjectsRow, 0, model.index(0, 0));
    tree->expand(model.index(0, 0));
    tree->setCurrentIndex(dataObjects);
    settle(&container);

    QElapsedTimer timer;
    timer.start();
    QKeyEvent press(QEvent::KeyPress, Qt::Key_Asterisk, Qt::NoModifier, QStringLiteral("*"));
    QApplication::sendEvent(tree, &press);
    settle(&container);
    return timer.elapsed();
}

// Nobody clicks in a benchmark: messages are counted, nothing is shown.
class CountingPrompt : public UserPrompt
{
public:
    QMessageBox::StandardButton message(const PromptMessage &) override
    {
        ++messages;
        return QMessageBox::Ok;
    }
    QString chooseFile(const FileRequest &) override { return QString(); }
    int execDialog(QDialog *) override { return 0; }
    QAction *execMenu(QMenu *, const QPoint &) override { return nullptr; }

    int messages = 0;
};

void filterFigures(TreeviewContainer &container, int repeat)
{
    FilterField *filter = container.cidFilter();
    out << "\nfilter query                 matches  keystroke  filtered+painted\n";
    for (const QString &query :
         {QStringLiteral("P"), QStringLiteral("Po"), QStringLiteral("Pos"),
          QStringLiteral("ln:CSWI Pos"), QStringLiteral("fc:ST"), QStringLiteral("stVal"),
          QStringLiteral("^(Beh|Health)$"), QStringLiteral("a"), QString()}) {
        qint64 keystroke = -1;
        const qint64 filtered = bestOf(repeat, [&] {
            filter->clear();
            settle(&container);
            QElapsedTimer timer;
            timer.start();
            filter->lineEdit()->setText(query);
            const qint64 typed = timer.elapsed();
            keystroke = keystroke < 0 ? typed : std::min(keystroke, typed);
            filter->applyNow();
            settle(&container);
            return timer.elapsed();
        });
        const QString shown = query.isEmpty() ? QStringLiteral("(cleared)") : query;
        out << "  " << qSetFieldWidth(27) << Qt::left << shown << qSetFieldWidth(7) << Qt::right
            << filter->filterModel()->matches().size() << qSetFieldWidth(0) << "  "
            << qSetFieldWidth(6) << keystroke << qSetFieldWidth(0) << " ms  " << qSetFieldWidth(9)
            << filtered << qSetFieldWidth(0) << " ms\n";
        out.flush();
    }
}

void pickFigures(TreeviewContainer &container, SelectedObjectsModel &objects, int repeat)
{
    FilterField *filter = container.cidFilter();
    filter->setText(QStringLiteral("stVal"));
    filter->applyNow();
    const QModelIndexList nodes = filter->filterModel()->matches().mid(0, 500);
    settle(&container);
    CountingPrompt prompt;
    UserPrompt *previous = UserPrompt::install(&prompt);
    int picked = 0;
    const qint64 first = bestOf(repeat, [&] {
        objects.clearSelection();
        settle(&container);
        QElapsedTimer timer;
        timer.start();
        picked = container.pickNodes(nodes);
        settle(&container);
        return timer.elapsed();
    });
    prompt.messages = 0;
    const qint64 again = bestOf(repeat, [&] {
        QElapsedTimer timer;
        timer.start();
        container.pickNodes(nodes);
        settle(&container);
        return timer.elapsed();
    });
    UserPrompt::install(previous);
    out << "\npick " << nodes.size() << " selected nodes          " << first << " ms (" << picked
        << " rows added)\n";
    out << "pick them again (duplicates)   " << again << " ms (" << prompt.messages / repeat
        << " summary message)\n";
}

} // namespace

int main(int argc, char *argv[])
{
    prepareWindowlessBench();
    QApplication app(argc, argv);

    SclGeneratorOptions options;
    options.iedCount = 1;
    options.lnInstances = 56; // 8 + 7 x 56 = 400 logical nodes
    options.templateFamilies = 1;
    int repeat = 3;
    const QStringList args = app.arguments().mid(1);
    for (int i = 0; i < args.size(); ++i) {
        const QString arg = args.at(i);
        if (arg == QLatin1String("--lns") && i + 1 < args.size())
            options.lnInstances = args.at(++i).toInt();
        else if (arg == QLatin1String("--repeat") && i + 1 < args.size())
            repeat = std::max(1, args.at(++i).toInt());
        else {
            out << "usage: treebench [--lns M] [--repeat R]\n";
            return 2;
        }
    }

    QTemporaryDir dir;
    const QString scd = dir.filePath(QStringLiteral("tree.scd"));
    if (!SclGenerator::write(scd, options)) {
        out << "cannot write " << scd << "\n";
        return 1;
    }
    SelectedItemsModel model;
    SclParser parser;
    parser.loadIedNames(scd);
    if (!parser.parse(SclGenerator::iedName(0), &model)) {
        out << "cannot parse " << scd << "\n";
        return 1;
    }
    const QStandardItem *dataObjects = model.item(0)->child(SclBranch::DataObjectsRow);
    out << "IED " << SclGenerator::iedName(0) << ": " << countLogicalNodes(dataObjects)
        << " logical nodes, " << subtreeSize(model.item(0)) << " model nodes ("
        << subtreeSize(dataObjects) << " under DataObjects); best of " << repeat << " runs\n\n";
    out.flush();

    SelectedObjectsModel objects;
    SelectedDatasetsModel datasets;
    SelectedReportsModel reports;
    TreeviewContainer container;
    container.setSclModel(&model);
    container.setSelectionModels(&objects, &datasets, &reports);
    container.resize(1400, 900);
    container.show();
    settle(&container);

    qint64 expand = -1;
    for (int i = 0; i < repeat; ++i) {
        const qint64 ms = expandAllByKey(container, model);
        expand = expand < 0 ? ms : std::min(expand, ms);
    }
    out << "expand all of DataObjects (\"*\")  " << expand << " ms\n";
    out.flush();

    container.cidTree()->collapseAll();
    filterFigures(container, repeat);
    pickFigures(container, objects, repeat);
    return 0;
}
