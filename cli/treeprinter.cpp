#include "treeprinter.h"

#include <QStandardItem>
#include <QStandardItemModel>
#include <QTextStream>

namespace {

QStringList headersOf(const QStandardItemModel &model)
{
    QStringList headers;
    for (int column = 0; column < model.columnCount(); ++column)
        headers.append(model.headerData(column, Qt::Horizontal).toString());
    return headers;
}

QString indentation(int depth)
{
    return QString(depth * 2, QLatin1Char(' '));
}

} // namespace

void TreePrinter::printTree(const QStandardItemModel &model, int indent)
{
    const QStandardItem *root = model.invisibleRootItem();
    for (int row = 0; row < root->rowCount(); ++row)
        printNode(root, row, indent, false, {});
}

void TreePrinter::printTable(const QStandardItemModel &model, int indent)
{
    const QStringList headers = headersOf(model);
    const QStandardItem *root = model.invisibleRootItem();
    for (int row = 0; row < root->rowCount(); ++row)
        printNode(root, row, indent, true, headers);
}

void TreePrinter::printRows(const QStandardItemModel &model, int indent)
{
    for (int row = 0; row < model.rowCount(); ++row) {
        QStringList cells;
        for (int column = 0; column < model.columnCount(); ++column) {
            const QStandardItem *cell = model.item(row, column);
            cells.append(cell ? cell->text() : QString());
        }
        out << indentation(indent) << cells.join(QLatin1Char(';')) << '\n';
    }
}

void TreePrinter::printNode(const QStandardItem *parent, int row, int depth, bool table,
                            const QStringList &headers)
{
    const QStandardItem *node = parent->child(row, 0);
    if (!node)
        return;
    out << indentation(depth) << node->text();
    if (table) {
        QStringList cells;
        for (int column = 1; column < parent->columnCount(); ++column) {
            const QStandardItem *cell = parent->child(row, column);
            if (cell && !cell->text().isEmpty())
                cells.append(headers.value(column) + QLatin1Char('=') + cell->text());
        }
        if (!cells.isEmpty())
            out << "  [" << cells.join(QStringLiteral("; ")) << ']';
    } else if (const QStandardItem *value = parent->child(row, 1)) {
        out << ": " << value->text();
    }
    out << '\n';
    for (int child = 0; child < node->rowCount(); ++child)
        printNode(node, child, depth + 1, table, headers);
}
