#include "livevalues.h"

#include "enumerationnames.h"
#include "iedclienterror.h"
#include "mmsreport.h"

#include <QDateTime>
#include <QStandardItem>
#include <QStandardItemModel>
#include <QStringList>

#include <functional>

namespace LiveValues {

QString timeText(const MmsValue &value)
{
    const QDateTime time = QDateTime::fromMSecsSinceEpoch(qint64(value.utcTimeMs()), Qt::UTC);
    QString text = time.toString(QStringLiteral("yyyy-MM-ddThh:mm:ss.zzzZ"));
    const QString quality = TimeQuality::text(value.utcTimeQuality());
    if (!quality.isEmpty())
        text += QStringLiteral(" [%1]").arg(quality);
    return text;
}

QString qualityText(const MmsValue &value)
{
    return Quality::text(value.toQuality()).replace(QLatin1Char('|'), QLatin1String(", "));
}

QString text(const MmsValue &value, const QString &path)
{
    const QString name = path.section(QLatin1Char('.'), -1);
    if (value.isNull())
        return QString();
    switch (value.type()) {
    case MmsType::UtcTime:
        return timeText(value);
    case MmsType::BitString:
        if (name == QLatin1String("q"))
            return qualityText(value);
        // A double point position (Dbpos) reads as its state.
        if (name == QLatin1String("stVal") && value.bitStringSize() == 2) {
            static const char *const positions[] = {"intermediate", "off", "on", "bad"};
            const int state = (value.bitStringBit(0) ? 2 : 0) + (value.bitStringBit(1) ? 1 : 0);
            return QStringLiteral("%1 (%2)").arg(QLatin1String(positions[state]), value.toText());
        }
        return value.toText();
    case MmsType::Integer:
        return EnumerationNames::text(path, value.toInt64());
    case MmsType::DataAccessError:
        return iedClientErrorName(iedClientErrorFromDataAccessError(value.dataAccessErrorCode()));
    case MmsType::VisibleString:
    case MmsType::String:
        return value.toString();
    default:
        return value.toText();
    }
}

namespace {

// path: below the data object; base: the data object's own path.
void collectLeaves(const MmsValue &value, const MmsTypeSpec &type, const QString &path,
                   const QString &base, QStringList *pairs)
{
    if (value.type() == MmsType::Structure && type.type() == MmsType::Structure) {
        for (int i = 0; i < value.elementCount(); ++i) {
            const QString name = type.componentName(i);
            const QString childPath = path.isEmpty() ? name : path + QLatin1Char('.') + name;
            if (i < type.componentCount())
                collectLeaves(value.element(i), type.component(i), childPath, base, pairs);
        }
        return;
    }
    pairs->append(path + QLatin1Char('=') +
                  text(value, base.isEmpty() ? path : base + QLatin1Char('.') + path));
}

// The attributes that carry what a status or measured data object says.
bool isMainValue(const QString &component)
{
    static const QStringList names{QStringLiteral("stVal"),  QStringLiteral("mag"),
                                   QStringLiteral("cVal"),   QStringLiteral("general"),
                                   QStringLiteral("actVal"), QStringLiteral("setVal"),
                                   QStringLiteral("setMag")};
    return names.contains(component);
}

} // namespace

Parts parts(const MmsValue &value, const MmsTypeSpec &type, const QString &name)
{
    Parts result;
    // Without a type the parts have no names: a structure shows its leaves.
    if (value.type() == MmsType::Structure && type.componentCount() != value.elementCount()) {
        QStringList leaves;
        std::function<void(const MmsValue &)> collect = [&](const MmsValue &part) {
            if (part.type() == MmsType::Structure) {
                for (const MmsValue &element : part.elements())
                    collect(element);
            } else {
                leaves << text(part);
            }
        };
        collect(value);
        result.value = leaves.join(QLatin1String("; "));
        return result;
    }
    if (value.type() != MmsType::Structure || type.type() != MmsType::Structure) {
        result.value = text(value, name);
        if (name.section(QLatin1Char('.'), -1) == QLatin1String("q"))
            result.quality = result.value;
        return result;
    }
    QStringList pairs;
    QStringList mainPairs;
    for (int i = 0; i < value.elementCount(); ++i) {
        const QString component = type.componentName(i);
        if (component == QLatin1String("q") && value.element(i).type() == MmsType::BitString)
            result.quality = qualityText(value.element(i));
        else if (component == QLatin1String("t") && value.element(i).type() == MmsType::UtcTime)
            result.timestamp = timeText(value.element(i));
        else if (isMainValue(component))
            collectLeaves(value.element(i), type.component(i), component, name, &mainPairs);
        else
            collectLeaves(value.element(i), type.component(i), component, name, &pairs);
    }
    // The value a data object stands for, when it has one, without the rest.
    if (!mainPairs.isEmpty())
        pairs = mainPairs;
    // One leaf, as mag.f or stVal, needs no name.
    if (pairs.size() == 1)
        result.value = pairs.first().section(QLatin1Char('='), 1);
    else
        result.value = pairs.join(QLatin1String("; "));
    return result;
}

QString reasonText(int reasons)
{
    return reasons ? reasonForInclusionText(reasons) : QString();
}

void setValueText(QStandardItem *item, const QString &text)
{
    QStandardItem *parent = item->parent();
    if (!parent && item->model())
        parent = item->model()->invisibleRootItem();
    if (!parent)
        return;
    QStandardItem *cell = parent->child(item->row(), ValueColumn);
    if (!cell) {
        cell = new QStandardItem;
        cell->setEditable(false);
        parent->setChild(item->row(), ValueColumn, cell);
    }
    if (!cell->data(ReadValueRole).isValid())
        cell->setData(cell->text(), ReadValueRole);
    cell->setText(text);
}

namespace {

int restoreBelow(QStandardItem *parent)
{
    int restored = 0;
    for (int row = 0; row < parent->rowCount(); ++row) {
        if (QStandardItem *cell = parent->child(row, ValueColumn)) {
            const QVariant before = cell->data(ReadValueRole);
            if (before.isValid()) {
                cell->setText(before.toString());
                cell->setData(QVariant(), ReadValueRole);
                ++restored;
            }
        }
        if (QStandardItem *child = parent->child(row))
            restored += restoreBelow(child);
    }
    return restored;
}

} // namespace

int clearReadValues(QStandardItemModel *model)
{
    return model ? restoreBelow(model->invisibleRootItem()) : 0;
}

int fill(QStandardItem *item, const MmsValue &value, const MmsTypeSpec &type, const QString &fc,
         const NameOf &nameOf, const NameOf &fcOf, const QString &path)
{
    const bool composite =
        (value.type() == MmsType::Structure && type.type() == MmsType::Structure) ||
        (value.type() == MmsType::Array && type.type() == MmsType::Array);
    if (!composite || item->rowCount() == 0) {
        setValueText(item, text(value, path.isEmpty() ? nameOf(item) : path));
        return 1;
    }
    int written = 0;
    for (int row = 0; row < item->rowCount(); ++row) {
        QStandardItem *child = item->child(row);
        const QString childFc = fcOf(child);
        if (!childFc.isEmpty() && !fc.isEmpty() && childFc != fc)
            continue;
        const QString name = nameOf(child);
        if (value.type() == MmsType::Array) {
            const QString digits = name.mid(1, name.size() - 2);
            bool ok = false;
            const int index = digits.toInt(&ok);
            if (ok && name.startsWith(QLatin1Char('[')) && index < value.elementCount())
                written +=
                    fill(child, value.element(index), type.element(), fc, nameOf, fcOf, path);
            continue;
        }
        const int index = type.indexOf(name);
        if (index >= 0 && index < value.elementCount())
            written += fill(child, value.element(index), type.component(index), fc, nameOf, fcOf,
                            path.isEmpty() ? QString() : path + QLatin1Char('.') + name);
    }
    if (written == 0)
        setValueText(item, value.toText());
    return written;
}

} // namespace LiveValues
