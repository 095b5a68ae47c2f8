#include "iedsimulatorstreams.h"

#include "iec61850types.h"

#include <QXmlStreamAttributes>

namespace {

MmsTypeSpec structureOf(std::initializer_list<std::pair<const char *, MmsTypeSpec>> members)
{
    MmsTypeSpec type = MmsTypeSpec::structure();
    for (const auto &member : members)
        type.addComponent(QLatin1String(member.first), member.second);
    return type;
}

bool isTrue(const QXmlStreamAttributes &attributes, const char *name)
{
    const QStringRef value = attributes.value(QLatin1String(name));
    return value == QLatin1String("true") || value == QLatin1String("1");
}

MmsValue visible(const QString &text)
{
    return MmsValue::visibleString(text.toLatin1().left(129));
}

// "01-0C-CD-01-00-01" to its six octets; anything else gives six zeros.
QByteArray macOctets(const QString &text)
{
    const QByteArray octets = QByteArray::fromHex(text.toLatin1());
    return octets.size() == 6 ? octets : QByteArray(6, '\0');
}

} // namespace

QString StreamControl::constraint() const
{
    switch (kind) {
    case Kind::Goose:
        return QStringLiteral("GO");
    case Kind::MulticastSv:
        return QStringLiteral("MS");
    case Kind::UnicastSv:
        break;
    }
    return QStringLiteral("US");
}

MmsTypeSpec StreamControls::typeOf(StreamControl::Kind kind)
{
    const MmsTypeSpec text = MmsTypeSpec::visibleString(-129);
    if (kind == StreamControl::Kind::Goose)
        return structureOf({{"GoEna", MmsTypeSpec::boolean()},
                            {"GoID", text},
                            {"DatSet", text},
                            {"ConfRev", MmsTypeSpec::unsignedInteger(32)},
                            {"NdsCom", MmsTypeSpec::boolean()},
                            {"DstAddress", Iec61850Types::phyComAddrType()},
                            {"MinTime", MmsTypeSpec::unsignedInteger(32)},
                            {"MaxTime", MmsTypeSpec::unsignedInteger(32)},
                            {"FixedOffs", MmsTypeSpec::boolean()}});
    MmsTypeSpec type = MmsTypeSpec::structure();
    type.addComponent(QStringLiteral("SvEna"), MmsTypeSpec::boolean());
    if (kind == StreamControl::Kind::UnicastSv)
        type.addComponent(QStringLiteral("Resv"), MmsTypeSpec::boolean());
    type.addComponent(kind == StreamControl::Kind::UnicastSv ? QStringLiteral("UsvID")
                                                             : QStringLiteral("MsvID"),
                      text);
    type.addComponent(QStringLiteral("DatSet"), text);
    type.addComponent(QStringLiteral("ConfRev"), MmsTypeSpec::unsignedInteger(32));
    type.addComponent(QStringLiteral("SmpRate"), MmsTypeSpec::unsignedInteger(16));
    type.addComponent(QStringLiteral("OptFlds"), MmsTypeSpec::bitString(5));
    type.addComponent(QStringLiteral("SmpMod"), MmsTypeSpec::integer(8));
    type.addComponent(QStringLiteral("DstAddress"), Iec61850Types::phyComAddrType());
    type.addComponent(QStringLiteral("noASDU"), MmsTypeSpec::unsignedInteger(16));
    return type;
}

MmsValue StreamControls::valueOf(const StreamControl &control)
{
    const MmsValue address = MmsValue::structure(
        {MmsValue::octetString(control.mac.isEmpty() ? QByteArray(6, '\0') : control.mac),
         MmsValue::unsignedInteger(control.priority), MmsValue::unsignedInteger(control.vid),
         MmsValue::unsignedInteger(control.appId)});
    if (control.kind == StreamControl::Kind::Goose)
        return MmsValue::structure(
            {MmsValue::boolean(false), visible(control.id), visible(control.dataSet),
             MmsValue::unsignedInteger(control.confRev), MmsValue::boolean(false), address,
             MmsValue::unsignedInteger(control.minTime), MmsValue::unsignedInteger(control.maxTime),
             MmsValue::boolean(false)});
    std::vector<MmsValue> members{MmsValue::boolean(false)};
    if (control.kind == StreamControl::Kind::UnicastSv)
        members.push_back(MmsValue::boolean(false));
    // SmvOpts bit i of the SCL order is bit i of the 5-bit string.
    quint8 bits = 0;
    for (int i = 0; i < 5; ++i) {
        if (control.optFlds & (1 << i))
            bits |= quint8(0x80 >> i);
    }
    members.push_back(visible(control.id));
    members.push_back(visible(control.dataSet));
    members.push_back(MmsValue::unsignedInteger(control.confRev));
    members.push_back(MmsValue::unsignedInteger(control.smpRate));
    members.push_back(MmsValue::bitString(QByteArray(1, char(bits)), 5));
    members.push_back(MmsValue::integer(control.smpMod));
    members.push_back(address);
    members.push_back(MmsValue::unsignedInteger(control.noAsdu));
    return MmsValue::structure(std::move(members));
}

namespace StreamControls {

void Collector::controlElement(const QStringRef &tag, const QXmlStreamAttributes &a,
                               const QString &lnKey, const QString &domain)
{
    const auto text = [&a](const char *name) {
        return a.value(QLatin1String(name)).toString();
    };
    const bool goose = tag == QLatin1String("GSEControl");
    if (goose || tag == QLatin1String("SampledValueControl")) {
        StreamControl control;
        control.name = text("name");
        const QString lnName = lnKey.section(QLatin1Char('/'), 1);
        if (!text("datSet").isEmpty())
            control.dataSet =
                domain + QLatin1Char('/') + lnName + QLatin1Char('$') + text("datSet");
        control.confRev = text("confRev").toUInt();
        if (goose) {
            control.id = text("appID");
        } else {
            control.kind = a.value(QLatin1String("multicast")) == QLatin1String("false")
                               ? StreamControl::Kind::UnicastSv
                               : StreamControl::Kind::MulticastSv;
            control.id = text("smvID");
            control.smpRate = quint16(text("smpRate").toUInt());
            control.noAsdu = quint16(qMax(1u, text("nofASDU").toUInt()));
            const QString mode = text("smpMod");
            control.smpMod = mode == QLatin1String("SmpPerSec")   ? 1
                             : mode == QLatin1String("SecPerSmp") ? 2
                                                                  : 0;
        }
        QVector<StreamControl> &list = controls[lnKey];
        list.append(control);
        currentKey = lnKey;
        currentIndex = list.size() - 1;
    } else if (tag == QLatin1String("SmvOpts") && currentIndex >= 0) {
        int options = 0;
        const char *names[] = {"refreshTime", "sampleSynchronized", "sampleRate", "dataSet",
                               "security"};
        for (int i = 0; i < 5; ++i) {
            if (isTrue(a, names[i]))
                options |= 1 << i;
        }
        controls[currentKey][currentIndex].optFlds = options;
    } else if (tag == QLatin1String("LN0") || tag == QLatin1String("LN")) {
        currentIndex = -1;
    }
}

bool Collector::wantsText(const QStringRef &tag) const
{
    return inOwnAccessPoint && !addressKey.isEmpty() &&
           (tag == QLatin1String("P") || tag == QLatin1String("MinTime") ||
            tag == QLatin1String("MaxTime"));
}

void Collector::communicationElement(const QStringRef &tag, const QXmlStreamAttributes &a,
                                     const QString &text)
{
    if (tag == QLatin1String("ConnectedAP")) {
        inOwnAccessPoint = a.value(QLatin1String("iedName")) == iedName;
        addressKey.clear();
    } else if (tag == QLatin1String("GSE") || tag == QLatin1String("SMV")) {
        addressKey =
            a.value(QLatin1String("ldInst")) + QLatin1Char('/') + a.value(QLatin1String("cbName"));
    } else if (wantsText(tag)) {
        Address &address = addresses[addressKey];
        const QStringRef type = a.value(QLatin1String("type"));
        if (tag == QLatin1String("MinTime"))
            address.minTime = text.toUInt();
        else if (tag == QLatin1String("MaxTime"))
            address.maxTime = text.toUInt();
        else if (type == QLatin1String("MAC-Address"))
            address.mac = macOctets(QString(text).remove(QLatin1Char('-')));
        else if (type == QLatin1String("APPID"))
            address.appId = text.toInt(nullptr, 16);
        else if (type == QLatin1String("VLAN-ID"))
            address.vid = text.toInt(nullptr, 16);
        else if (type == QLatin1String("VLAN-PRIORITY"))
            address.priority = text.toInt();
    }
}

QHash<QString, QVector<StreamControl>> Collector::blocks() const
{
    QHash<QString, QVector<StreamControl>> result = controls;
    for (auto ln = result.begin(); ln != result.end(); ++ln) {
        const QString ldInst = ln.key().section(QLatin1Char('/'), 0, 0);
        for (StreamControl &control : ln.value()) {
            const Address address = addresses.value(ldInst + QLatin1Char('/') + control.name);
            control.mac = address.mac;
            if (address.priority >= 0)
                control.priority = quint8(address.priority);
            if (address.vid >= 0)
                control.vid = quint16(address.vid);
            if (address.appId >= 0)
                control.appId = quint16(address.appId);
            control.minTime = address.minTime;
            control.maxTime = address.maxTime;
        }
    }
    return result;
}

} // namespace StreamControls
