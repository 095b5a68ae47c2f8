#include "sclmodel.h"

const QStringList &FunctionalConstraintList()
{
    static const QStringList list{"ST", "MX", "SP", "SV", "CF", "DC", "SG", "SE", "SR", "OR",
                                  "BL", "EX", "CO", "US", "MS", "RP", "BR", "LG", "GO"};
    return list;
}

const QStringList &valueListNames(ValueList list)
{
    static const QStringList mmsTypes{
        "MMS_ARRAY",          "MMS_STRUCTURE",        "MMS_BOOLEAN",     "MMS_BIT_STRING",
        "MMS_INTEGER",        "MMS_UNSIGNED",         "MMS_FLOAT",       "MMS_OCTET_STRING",
        "MMS_VISIBLE_STRING", "MMS_GENERALIZED_TIME", "MMS_BINARY_TIME", "MMS_BCD",
        "MMS_OBJ_ID",         "MMS_STRING",           "MMS_UTC_TIME",    "MMS_DATA_ACCESS_ERROR"};
    static const QStringList controlModels{"NoCTL", "DO", "SBO", "DOes", "SBOes"};
    static const QStringList selectionTypes{"Without Val", "With Val"};
    switch (list) {
    case ValueList::MmsType:
        return mmsTypes;
    case ValueList::ControlModel:
        return controlModels;
    case ValueList::SelectionType:
        break;
    }
    return selectionTypes;
}

int valueListCode(ValueList list, const QString &name)
{
    const int code = valueListNames(list).indexOf(name);
    return code < 0 ? 0 : code;
}

QString valueListName(ValueList list, int code)
{
    return valueListNames(list).value(code);
}

const QVector<SclTypeMember> &phyComAddrMembers()
{
    static const QVector<SclTypeMember> members{
        {"Addr", "Octet6"}, {"PRIORITY", "INT8U"}, {"VID", "INT16U"}, {"APPID", "INT16U"}};
    return members;
}

int ctlModelCode(const QString &sclValue)
{
    static const QStringList values{"status-only", "direct-with-normal-security",
                                    "sbo-with-normal-security", "direct-with-enhanced-security",
                                    "sbo-with-enhanced-security"};
    const int code = values.indexOf(sclValue);
    return code < 0 ? 0 : code;
}

QString lnName(const QString &prefix, const QString &lnClass, const QString &inst)
{
    return prefix + lnClass + inst;
}

QString lnReference(const QString &iedName, const QString &ldInst, const QString &prefix,
                    const QString &lnClass, const QString &lnInst)
{
    return iedName + ldInst + QLatin1Char('/') + prefix + lnClass + lnInst;
}

QString dataSetReference(const QString &lnRef, const QString &dataSetName)
{
    return lnRef + QLatin1Char('.') + dataSetName;
}

QString dataSetMemberAttributeReference(const QString &iedName, const QString &ldInst,
                                        const QString &prefix, const QString &lnClass,
                                        const QString &lnInst, const QString &doName,
                                        const QString &daName, const QString &fc)
{
    return lnReference(iedName, ldInst, prefix, lnClass, lnInst) + QLatin1Char('.') + doName +
           QLatin1Char('.') + daName + QLatin1Char('[') + fc + QLatin1Char(']');
}

QString reportControlReference(const QString &lnRef, const QString &name, bool buffered)
{
    return lnRef + (buffered ? QStringLiteral(".BR.") : QStringLiteral(".RP.")) + name;
}

QString reportDataSetReference(const QString &lnRef, const QString &datSet)
{
    // A block without a data set names none, not its logical node.
    if (datSet.isEmpty())
        return QString();
    return lnRef + QLatin1Char('.') + datSet;
}

QString leafAttributeText(const QString &name, const QString &fc, const QString &bType)
{
    return name + QLatin1Char('{') + fc + QLatin1Char(',') + bType + QLatin1Char('}');
}

QString arrayElementText(int index)
{
    return QLatin1Char('[') + QString::number(index) + QLatin1Char(']');
}

QString nodeNamePart(const QString &nodeText)
{
    const int brace = nodeText.indexOf(QLatin1Char('{'));
    return brace < 0 ? nodeText : nodeText.left(brace);
}
