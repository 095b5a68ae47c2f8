#ifndef STATIONSCOPE_TREEPRINTER_H
#define STATIONSCOPE_TREEPRINTER_H

#include <QString>
#include <QStringList>

class QStandardItem;
class QStandardItemModel;
class QTextStream;

// Item trees as indented text, for review and for diffing two dumps.
class TreePrinter
{
public:
    explicit TreePrinter(QTextStream &out) : out(out) {}

    // Column 0 of every node, with its column-1 value as "text: value".
    void printTree(const QStandardItemModel &model, int indent);
    // Column 0 of every node, then each non-empty cell as "Header=value".
    void printTable(const QStandardItemModel &model, int indent);
    // Flat rows, cells joined by ";".
    void printRows(const QStandardItemModel &model, int indent);

private:
    void printNode(const QStandardItem *parent, int row, int depth, bool table,
                   const QStringList &headers);

    QTextStream &out;
};

#endif
