#ifndef STATIONSCOPE_MMSNAMEDIRECTORY_H
#define STATIONSCOPE_MMSNAMEDIRECTORY_H

// The flattened variable names of one MMS domain ("LN", "LN$FC",
// "LN$FC$DO$DA" ...) as a tree that keeps the server's order, so that logical
// nodes, data objects, attributes and control blocks can be listed without
// asking the server again.

#include "mmstypespec.h"

#include <QHash>
#include <QString>
#include <QStringList>
#include <QVector>

#include <vector>

class MmsNameDirectory
{
public:
    MmsNameDirectory();

    // Names in the order the server gave them; parents a name implies but
    // the list leaves out are added before it.
    void addNames(const QStringList &names);
    // The names a variable of this type flattens to, below logicalNode.
    void addVariable(const QString &logicalNode, const MmsTypeSpec &type);
    int nameCount() const { return int(nodes.size()) - 1; }

    QStringList logicalNodes() const;
    bool contains(const QString &name) const { return index.contains(name); }
    // Whether a logical node has any name below it.
    bool hasChildren(const QString &logicalNode) const;
    // Functional constraints of a logical node, in order.
    QStringList functionalConstraints(const QString &logicalNode) const;
    // Data objects under every functional constraint that holds data (not
    // control blocks), each once, in the order of first appearance.
    QStringList dataObjects(const QString &logicalNode) const;
    // The names directly under "LN$FC" (control blocks under RP, BR ...).
    QStringList childrenOf(const QString &logicalNode, const QString &fc) const;
    // The children of LN.path under every constraint (or only under fc), as
    // "name[FC]" when withFc is set; each text once, in server order.
    QStringList dataDirectory(const QString &logicalNode, const QStringList &path,
                              const QString &fc, bool withFc) const;

    // Constraints whose names are control blocks, not data objects.
    static bool isControlBlockConstraint(const QString &fc);

private:
    struct Node
    {
        QString segment;
        int order = 0;
        QVector<int> children;
    };

    int ensure(const QString &name);
    void addType(const QString &prefix, const MmsTypeSpec &type, int depth);

    std::vector<Node> nodes; // nodes[0] is the root
    QHash<QString, int> index;
};

#endif
