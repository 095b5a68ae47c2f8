// Response times of the CID tree on an IED of vendor size: expanding the whole
// DataObjects branch with the keyboard, as the engineer does with "*".

#include "ciditemstree.h"
#include "sclgenerator.h"
#include "sclmodel.h"
#include "sclparser.h"
#include "selecteditemsmodel.h"
#include "treeviewcontainer.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QStandardItem>
#include <QTemporaryDir>
#include <QTextStream>

#include <algorithm>
#include <cstdio>

namespace {

QTextStream out(stdout);

int countNodes(const QStandardItem *item)
{
    int count = 1;
    for (int row = 0; row < item->rowCount(); ++row)
        count += countNodes(item->child(row));
    return count;
}

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

} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    qInstallMessageHandler([](QtMsgType type, const QMessageLogContext &, const QString &text) {
        if (type != QtDebugMsg)
            fprintf(stderr, "%s\n", qPrintable(text));
    });

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
    SclParser parser(nullptr, nullptr, nullptr, nullptr);
    parser.loadIedNames(scd);
    if (!parser.parse(SclGenerator::iedName(0), &model)) {
        out << "cannot parse " << scd << "\n";
        return 1;
    }
    const QStandardItem *dataObjects = model.item(0)->child(SclBranch::DataObjectsRow);
    out << "IED " << SclGenerator::iedName(0) << ": " << countLogicalNodes(dataObjects)
        << " logical nodes, " << countNodes(model.item(0)) << " model nodes ("
        << countNodes(dataObjects) << " under DataObjects); best of " << repeat << " runs\n\n";
    out.flush();

    TreeviewContainer container;
    container.setSclModel(&model);
    container.resize(1400, 900);
    container.show();
    settle(&container);

    qint64 expand = -1;
    for (int i = 0; i < repeat; ++i) {
        const qint64 ms = expandAllByKey(container, model);
        expand = expand < 0 ? ms : std::min(expand, ms);
    }
    out << "expand all of DataObjects (\"*\")  " << expand << " ms\n";
    return 0;
}
