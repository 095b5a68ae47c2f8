#ifndef STATIONSCOPE_MMSSERVICES_H
#define STATIONSCOPE_MMSSERVICES_H

// The confirmed services IEC 61850 browsing needs, as the BER element that a
// confirmed request or response carries: getNameList, read,
// getVariableAccessAttributes and getNamedVariableListAttributes.

#include "berreader.h"
#include "mmstypespec.h"
#include "mmsvalue.h"

#include <QList>
#include <QString>
#include <QStringList>

struct MmsObjectName
{
    enum Scope { VmdSpecific, DomainSpecific, AssociationSpecific };

    Scope scope = DomainSpecific;
    QString domain;
    QString item;

    bool operator==(const MmsObjectName &other) const
    {
        return scope == other.scope && domain == other.domain && item == other.item;
    }
};

struct MmsNameListRequest
{
    enum ObjectClass { NamedVariable = 0, NamedVariableList = 2, Domain = 9 };

    int objectClass = NamedVariable;
    MmsObjectName::Scope scope = MmsObjectName::VmdSpecific;
    QString domain;
    bool hasContinueAfter = false;
    QString continueAfter;
};

struct MmsReadRequest
{
    bool specificationWithResult = false;
    bool namedList = false; // the variables of a named variable list
    MmsObjectName listName;
    QList<MmsObjectName> variables;
};

struct MmsVariableListAttributes
{
    bool deletable = false;
    QList<MmsObjectName> members;
};

namespace MmsServices {
enum ServiceTag : quint32 {
    GetNameList = 0xa1,
    Read = 0xa4,
    GetVariableAccessAttributes = 0xa6,
    GetNamedVariableListAttributes = 0xac,
};

QByteArray getNameListRequest(const MmsNameListRequest &request);
QByteArray readRequest(const MmsObjectName &variable);
QByteArray readRequest(const QList<MmsObjectName> &variables);
// The members of a named variable list (a data set), in one request.
QByteArray readListRequest(const MmsObjectName &listName, bool specificationWithResult);
QByteArray getVariableAccessAttributesRequest(const MmsObjectName &name);
QByteArray getNamedVariableListAttributesRequest(const MmsObjectName &name);

QByteArray getNameListResponse(const QStringList &names, bool moreFollows);
// Results that are data access errors go out as failures.
QByteArray readResponse(const QList<MmsValue> &results);
// The answer to a list read with specificationWithResult: the name repeated.
QByteArray readListResponse(const MmsObjectName &listName, const QList<MmsValue> &results);
QByteArray getVariableAccessAttributesResponse(bool deletable, const MmsTypeSpec &type);
QByteArray getNamedVariableListAttributesResponse(const MmsVariableListAttributes &attributes);

// Each decoder takes the service element of a confirmed PDU.
bool decodeGetNameListRequest(const BerReader &reader, const BerTlv &tlv,
                              MmsNameListRequest *request);
bool decodeReadRequest(const BerReader &reader, const BerTlv &tlv, MmsReadRequest *request);
// getVariableAccessAttributes and getNamedVariableListAttributes requests.
bool decodeObjectNameRequest(const BerReader &reader, const BerTlv &tlv, MmsObjectName *name);

bool decodeGetNameListResponse(const BerReader &reader, const BerTlv &tlv, QStringList *names,
                               bool *moreFollows);
bool decodeReadResponse(const BerReader &reader, const BerTlv &tlv, QList<MmsValue> *results);
bool decodeGetVariableAccessAttributesResponse(const BerReader &reader, const BerTlv &tlv,
                                               bool *deletable, MmsTypeSpec *type);
bool decodeGetNamedVariableListAttributesResponse(const BerReader &reader, const BerTlv &tlv,
                                                  MmsVariableListAttributes *attributes);

// The pieces other services share: an ObjectName CHOICE, and the content of a
// listOfVariable (SEQUENCE { variableSpecification name } per variable).
QByteArray encodeObjectName(const MmsObjectName &name);
bool decodeObjectName(const BerReader &reader, const BerTlv &tlv, MmsObjectName *name);
QByteArray encodeVariableList(const QList<MmsObjectName> &names);
bool decodeVariableList(const BerReader &reader, const BerTlv &tlv, QList<MmsObjectName> *names);
} // namespace MmsServices

#endif
