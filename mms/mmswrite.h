#ifndef STATIONSCOPE_MMSWRITE_H
#define STATIONSCOPE_MMSWRITE_H

// The MMS write service (ISO 9506-2) as the element a confirmed request or
// response carries: a list of variables with one value each, answered by one
// result per variable in the same order.

#include "berreader.h"
#include "mmsservices.h"
#include "mmsvalue.h"

#include <QList>

struct MmsWriteRequest
{
    // The variables by name, or the members of a named variable list.
    bool namedList = false;
    MmsObjectName listName;
    QList<MmsObjectName> variables;
    // One value per variable (or list member), paired by position.
    QList<MmsValue> values;
};

// The outcome of one written variable: success, or a data access error code
// (0 object-invalidated ... 11 object-value-invalid).
struct MmsWriteResult
{
    bool success = true;
    int dataAccessError = 0;

    static MmsWriteResult ok() { return MmsWriteResult(); }
    static MmsWriteResult failure(int code) { return MmsWriteResult{false, code}; }
    bool operator==(const MmsWriteResult &other) const
    {
        return success == other.success && (success || dataAccessError == other.dataAccessError);
    }
};

namespace MmsWrite {
constexpr quint32 ServiceTag = 0xa5;

QByteArray request(const MmsWriteRequest &request);
// One variable, one value.
QByteArray request(const MmsObjectName &variable, const MmsValue &value);
QByteArray response(const QList<MmsWriteResult> &results);

// Each decoder takes the service element (tag ServiceTag) of a confirmed PDU.
// A request whose value count differs from its variable count is refused.
bool decodeRequest(const BerReader &reader, const BerTlv &tlv, MmsWriteRequest *request);
bool decodeResponse(const BerReader &reader, const BerTlv &tlv, QList<MmsWriteResult> *results);
} // namespace MmsWrite

#endif
