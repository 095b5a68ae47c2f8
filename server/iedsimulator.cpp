#include "iedsimulator.h"

#include <QDateTime>

namespace {

// Clock synchronised, ten bits of fraction accuracy.
constexpr quint8 SimulatedTimeQuality = 0x0a;
constexpr int ToggleOneIn = 10;
constexpr int QuestionableOneIn = 50;

// The path of the first floating-point leaf below type, "mag$f"; empty if none.
QString firstFloat(const MmsTypeSpec &type, const QString &prefix = QString())
{
    for (int i = 0; i < type.componentCount(); ++i) {
        const QString name =
            prefix.isEmpty() ? type.componentName(i) : prefix + '$' + type.componentName(i);
        const MmsTypeSpec &component = type.component(i);
        if (component.type() == MmsType::Float)
            return name;
        if (component.type() == MmsType::Structure) {
            const QString found = firstFloat(component, name);
            if (!found.isEmpty())
                return found;
        }
    }
    return QString();
}

bool hasComponent(const MmsTypeSpec &type, const char *name, MmsType kind)
{
    const int index = type.indexOf(QLatin1String(name));
    return index >= 0 && type.component(index).type() == kind;
}

MmsValue doublePointOf(bool on)
{
    // 01 off, 10 on
    return MmsValue::bitString(QByteArray(1, char(on ? 0x80 : 0x40)), 2);
}

} // namespace

IedSimulator::IedSimulator(std::shared_ptr<const MmsServerModel> model, QObject *parent)
    : QObject(parent), model(std::move(model)), random(QRandomGenerator::securelySeeded()),
      timer(this)
{
    for (const MmsServerDomain &domain : this->model->domains()) {
        for (const MmsServerVariable &variable : domain.variables) {
            for (const char *fc : {"MX", "ST"}) {
                const int index = variable.type.indexOf(QLatin1String(fc));
                if (index < 0)
                    continue;
                const MmsTypeSpec &objects = variable.type.component(index);
                for (int i = 0; i < objects.componentCount(); ++i) {
                    collect(domain.name,
                            variable.name + '$' + QLatin1String(fc) + '$' +
                                objects.componentName(i),
                            objects.component(i));
                }
            }
        }
    }
    connect(&timer, &QTimer::timeout, this, &IedSimulator::step);
}

void IedSimulator::collect(const QString &domain, const QString &item, const MmsTypeSpec &type)
{
    Point point;
    point.domain = domain;
    point.dataObject = item;
    point.hasQuality = hasComponent(type, "q", MmsType::BitString);
    point.hasTime = hasComponent(type, "t", MmsType::UtcTime);
    const bool measuredValue = item.section('$', 1, 1) == QLatin1String("MX");
    if (measuredValue)
        point.attribute = firstFloat(type);
    else if (hasComponent(type, "stVal", MmsType::Boolean) ||
             (hasComponent(type, "stVal", MmsType::BitString) &&
              type.component(type.indexOf(QStringLiteral("stVal"))).size() == 2))
        point.attribute = QStringLiteral("stVal");
    if (point.attribute.isEmpty())
        return;
    MmsTypeSpec attributeType;
    if (!model->find(domain, item + '$' + point.attribute, &attributeType, &point.value))
        return;
    if (measuredValue) {
        point.centre = point.value.toDouble() != 0 ? point.value.toDouble() : 50.0;
        point.doublePrecision = attributeType.size() == 64;
        point.value = MmsValue::doubleFloatingPoint(point.centre); // the walk starts there
        measured.append(point);
    } else {
        status.append(point);
    }
}

void IedSimulator::start(int periodMs)
{
    timer.start(qMax(1, periodMs));
}

void IedSimulator::addStamps(const Point &point, quint64 now,
                             QVector<MmsValueUpdate> *updates) const
{
    if (point.hasQuality)
        updates->append(
            {point.domain, point.dataObject + QStringLiteral("$q"), qualityOf(point.questionable)});
    if (point.hasTime) {
        updates->append({point.domain, point.dataObject + QStringLiteral("$t"),
                         MmsValue::utcTimeFromMs(now, SimulatedTimeQuality)});
    }
}

MmsValue IedSimulator::qualityOf(bool questionable)
{
    // Validity is the first two bits: 00 good, 11 questionable.
    QByteArray bits(2, '\0');
    if (questionable)
        bits[0] = char(0xc0);
    return MmsValue::bitString(bits, 13);
}

void IedSimulator::step()
{
    const quint64 now = quint64(QDateTime::currentMSecsSinceEpoch());
    QVector<MmsValueUpdate> updates;
    for (Point &point : measured) {
        // A walk that keeps coming back to where the value started.
        const double spread = qAbs(point.centre) * 0.02 + 0.1;
        const double noise = (random.generateDouble() * 2 - 1) * spread;
        const double next = point.centre + (point.value.toDouble() - point.centre) * 0.8 + noise;
        point.value = point.doublePrecision ? MmsValue::doubleFloatingPoint(next)
                                            : MmsValue::floatingPoint(float(next));
        point.questionable = !point.questionable && random.bounded(QuestionableOneIn) == 0;
        updates.append({point.domain, point.dataObject + '$' + point.attribute, point.value});
        addStamps(point, now, &updates);
    }
    for (Point &point : status) {
        if (random.bounded(ToggleOneIn) != 0)
            continue;
        if (point.value.type() == MmsType::Boolean)
            point.value = MmsValue::boolean(!point.value.boolean());
        else
            point.value = doublePointOf(!point.value.bitStringBit(0));
        updates.append({point.domain, point.dataObject + '$' + point.attribute, point.value});
        addStamps(point, now, &updates);
    }
    model->update(updates);
}
