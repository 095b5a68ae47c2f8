#ifndef STATIONSCOPE_SCLTEMPLATES_H
#define STATIONSCOPE_SCLTEMPLATES_H

// The DataTypeTemplates of an SCL file, kept compactly: what the check needs
// to resolve instances, data set members and control settings of an IED.

#include "sclfinding.h"

#include <QHash>
#include <QSet>
#include <QString>
#include <QVector>

class QXmlStreamReader;

// A DO/SDO of an LNodeType or DOType, a DA of a DOType or a BDA of a DAType.
struct SclTemplateChild
{
    bool isDataObject = false;
    QString name;
    QString type;
    QString bType;
    QString fc;
    int count = 0; // array elements, 0 for none
    QString value; // the first Val, if any
    qint64 line = 0;
};

Q_DECLARE_TYPEINFO(SclTemplateChild, Q_MOVABLE_TYPE);

struct SclTemplate
{
    QString id;
    qint64 line = 0;
    QVector<SclTemplateChild> children;

    const SclTemplateChild *child(const QString &name) const;
};

class SclTemplates
{
public:
    // Reads from the DataTypeTemplates start element to its end; lineOffset is
    // added to the reader's line numbers (the reader may start mid-file).
    void read(QXmlStreamReader &xml, qint64 lineOffset, SclFindings &findings);
    // The references between templates and the uniqueness of names.
    void checkReferences(SclFindings &findings) const;

    const SclTemplate *lnodeType(const QString &id) const { return find(lnodeTypes, id); }
    const SclTemplate *doType(const QString &id) const { return find(doTypes, id); }
    const SclTemplate *daType(const QString &id) const { return find(daTypes, id); }
    bool hasEnumType(const QString &id) const { return enumTypes.contains(id); }
    // The EnumVal texts of an EnumType.
    QSet<QString> enumValues(const QString &id) const { return enumTypes.value(id); }
    bool isEmpty() const { return lnodeTypes.isEmpty() && doTypes.isEmpty(); }

private:
    static const SclTemplate *find(const QHash<QString, SclTemplate> &in, const QString &id);
    void readType(QXmlStreamReader &xml, qint64 lineOffset, QHash<QString, SclTemplate> &into,
                  const QString &kind, SclFindings &findings);
    void readEnum(QXmlStreamReader &xml, qint64 lineOffset, SclFindings &findings);

    QHash<QString, SclTemplate> lnodeTypes;
    QHash<QString, SclTemplate> doTypes;
    QHash<QString, SclTemplate> daTypes;
    QHash<QString, QSet<QString>> enumTypes;
};

#endif
