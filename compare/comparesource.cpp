#include "comparesource.h"

#include "sclparser.h"

#include <QCoreApplication>
#include <QStandardItemModel>

CompareSource::~CompareSource() = default;

SclFileSource::SclFileSource(const QString &fileName, const QString &iedName,
                             const QString &projectIed)
    : fileName(fileName), requestedIed(iedName), projectIed(projectIed)
{
}

SclFileSource::~SclFileSource() = default;

QString SclFileSource::description() const
{
    return chosenIed.isEmpty() ? fileName : QStringLiteral("%1 of %2").arg(chosenIed, fileName);
}

bool SclFileSource::fetch(ModelSnapshot *snapshot, QString *problem)
{
    SclParser parser;
    const QStringList names = parser.loadIedNames(fileName);
    if (names.isEmpty()) {
        *problem = QCoreApplication::translate("SclFileSource",
                                               "%1 holds no IED or is not a readable SCL file")
                       .arg(fileName);
        if (!parser.loadError().isEmpty())
            *problem += QStringLiteral(" (%1)").arg(parser.loadError());
        return false;
    }
    chosenIed = requestedIed;
    if (chosenIed.isEmpty())
        chosenIed = names.contains(projectIed) ? projectIed
                    : names.size() == 1        ? names.first()
                                               : QString();
    if (chosenIed.isEmpty()) {
        *problem = QCoreApplication::translate(
                       "SclFileSource", "%1 has no IED named \"%2\"; choose one of %3 with --ied")
                       .arg(fileName, projectIed, names.join(QStringLiteral(", ")));
        return false;
    }
    if (!names.contains(chosenIed)) {
        *problem =
            QCoreApplication::translate("SclFileSource", "%1 has no IED named \"%2\" (it has %3)")
                .arg(fileName, chosenIed, names.join(QStringLiteral(", ")));
        return false;
    }
    parsed = std::make_unique<QStandardItemModel>();
    if (!parser.parse(chosenIed, parsed.get())) {
        *problem =
            QCoreApplication::translate("SclFileSource", "IED \"%1\" of %2 has no logical node")
                .arg(chosenIed, fileName);
        parsed.reset();
        return false;
    }
    *snapshot = ModelSnapshot::fromProjectRoot(parsed->item(0, 0));
    // Without a connected access point the model has no connection rows,
    // but the parser still read the name plate.
    snapshot->namePlateRevision = parser.namePlateRevision();
    return true;
}
