#ifndef STATIONSCOPE_SCLNODEFACTORY_H
#define STATIONSCOPE_SCLNODEFACTORY_H

// Creates the items of the SCL model with their icons, kinds and ids.

#include <QHash>
#include <QIcon>
#include <QString>

class QStandardItem;

namespace SclIcon {
inline const QString Device = QStringLiteral(":/images/DEVICE.png");
inline const QString LogicalNode = QStringLiteral(":/images/LN.png");
inline const QString Constraint = QStringLiteral(":/images/FC.png");
inline const QString DataObject = QStringLiteral(":/images/DO.png");
inline const QString DataAttribute = QStringLiteral(":/images/DA.png");
inline const QString DataSet = QStringLiteral(":/images/DS.png");
inline const QString UnbufferedReport = QStringLiteral(":/images/RP.png");
inline const QString BufferedReport = QStringLiteral(":/images/BR.png");
inline const QString Settings = QStringLiteral(":/images/settings.png");
inline const QString IpAddress = QStringLiteral(":/images/ip.png");
inline const QString Port = QStringLiteral(":/images/port.png");
} // namespace SclIcon

class SclNodeFactory
{
public:
    SclNodeFactory();

    // Icons are shared: loading a picture per node would dominate a large run.
    QIcon icon(const QString &path);

    QStandardItem *createItem(const QString &text, const QString &iconPath, bool editable,
                              const QString &editorKind);
    // parentMode -1 marks a top node of a branch (parent id -1 whatever the parent).
    void attachNode(QStandardItem *node, int kind, int id, const QString &iconPath,
                    QStandardItem *parent, int parentMode);
    // A node below the data object level: roles in the same order as attachNode.
    QStandardItem *appendElementNode(QStandardItem *parent, const QString &text, int sclKind,
                                     int id, int treeIndex);

private:
    QHash<QString, QIcon> icons;
};

#endif
