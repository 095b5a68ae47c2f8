#include "signalbinder.h"

#include "sclmodel.h"
#include "selecteddatasetsmodel.h"
#include "selectedobjectsmodel.h"
#include "selectedreportsmodel.h"
#include "tagfiltermodel.h"
#include "treefiltermodel.h"

#include <QStandardItem>

#include <functional>

namespace {

const QString NoSignal = QStringLiteral("NoRef");

QStandardItem *cellOf(SelectedItemsModel *model, QStandardItem *row, int column)
{
    QStandardItem *parent = row->parent() ? row->parent() : model->invisibleRootItem();
    return parent->child(row->row(), column);
}

void visitRows(QStandardItem *parent, const std::function<void(QStandardItem *)> &visit)
{
    for (int row = 0; row < parent->rowCount(); ++row) {
        if (QStandardItem *child = parent->child(row)) {
            visit(child);
            visitRows(child, visit);
        }
    }
}

// "CTRL/XCBR1.Pos [ST]" or "CTRL/XCBR1.Pos[ST]": a data object with its constraint.
bool splitConstraint(const QString &reference, QString *path, QString *constraint)
{
    if (!reference.endsWith(QLatin1Char(']')))
        return false;
    const int bracket = reference.lastIndexOf(QLatin1Char('['));
    if (bracket <= 0)
        return false;
    *path = reference.left(bracket).trimmed();
    *constraint = reference.mid(bracket + 1, reference.size() - bracket - 2);
    return true;
}

} // namespace

SignalBinder::SignalBinder(SelectedObjectsModel *objects, SelectedDatasetsModel *datasets,
                           SelectedReportsModel *reports, const QAbstractItemModel *signalList)
    : models{objects, datasets, reports}, signalList(signalList)
{
}

SignalBinder::~SignalBinder()
{
    qDeleteAll(filters);
}

QVector<BindingRule> SignalBinder::readRules(const QString &text, QVector<BindingProblem> *problems)
{
    QVector<BindingRule> rules;
    const QStringList lines = text.split(QLatin1Char('\n'));
    for (int number = 1; number <= lines.size(); ++number) {
        const QString line = lines.at(number - 1).trimmed();
        if (line.isEmpty())
            continue;
        const QStringList fields = line.split(QLatin1Char(';'));
        if (fields.size() != 3 || fields.at(0).trimmed().isEmpty() ||
            fields.at(1).trimmed().isEmpty() || fields.at(2).trimmed().isEmpty()) {
            problems->append({number, QStringLiteral("expected REFERENCE;COLUMN;LABEL")});
            continue;
        }
        rules.append(
            {number, fields.at(0).trimmed(), fields.at(1).trimmed(), fields.at(2).trimmed()});
    }
    return rules;
}

bool SignalBinder::takesSignal(const QStandardItem *cell)
{
    return cell && cell->isEnabled() &&
           cell->data(EditorRole).toString() == EditorKind::SignalSelect;
}

bool SignalBinder::labelText(const QString &label, QString *cellText)
{
    if (label == NoSignal) {
        *cellText = label;
        return true;
    }
    if (!labelsRead) {
        labelsRead = true;
        for (int row = 0; signalList && row < signalList->rowCount(); ++row) {
            const QString listed =
                signalList->index(row, TagFilterModel::LabelColumn).data().toString();
            // The cell holds what comes before a description, as the selector writes it.
            const QString name = listed.left(listed.indexOf(QLatin1String("::")));
            if (name.isEmpty())
                continue;
            // The first row that has the label, by its whole text or its name.
            if (!labels.contains(listed))
                labels.insert(listed, name);
            if (!labels.contains(name))
                labels.insert(name, name);
        }
    }
    const auto found = labels.constFind(label);
    if (found == labels.constEnd())
        return false;
    *cellText = found.value();
    return true;
}

void SignalBinder::indexRows()
{
    rowsByText.clear();
    for (SelectedItemsModel *model : models) {
        visitRows(model->invisibleRootItem(), [&](QStandardItem *row) {
            rowsByText[row->text()].append({model, row});
        });
    }
}

QVector<SignalBinder::Cell> SignalBinder::rowsNamed(const QString &reference, const QString &column)
{
    QString path;
    QString constraint;
    const bool withConstraint = splitConstraint(reference, &path, &constraint);
    QVector<Cell> exact;
    QVector<Cell> constrained;
    for (const Row &row : rowsByText.value(reference)) {
        const int columnIndex = row.model->columnLabels().indexOf(column);
        if (columnIndex >= 0)
            exact.append({row.model, row.row, cellOf(row.model, row.row, columnIndex)});
    }
    if (!exact.isEmpty() || !withConstraint)
        return exact;
    for (const Row &row : rowsByText.value(path)) {
        const int columnIndex = row.model->columnLabels().indexOf(column);
        if (columnIndex >= 0 && !row.row->parent() &&
            row.row->data(GroupRole).toString() == constraint)
            constrained.append({row.model, row.row, cellOf(row.model, row.row, columnIndex)});
    }
    return constrained;
}

QVector<SignalBinder::Cell> SignalBinder::rowsFound(const QString &query, const QString &column,
                                                    QString *problem)
{
    auto cached = queries.find(query);
    if (cached == queries.end()) {
        Found found;
        if (filters.isEmpty()) {
            for (SelectedItemsModel *model : models) {
                filters.append(new TreeFilterModel);
                filters.last()->setSourceModel(model);
            }
        }
        for (int i = 0; i < models.size(); ++i) {
            SelectedItemsModel *model = models.at(i);
            TreeFilterModel &filter = *filters.at(i);
            filter.setQuery(query);
            if (!filter.isQueryValid()) {
                found = {{}, filter.queryErrorString()};
                break;
            }
            for (const QModelIndex &index : filter.matches()) {
                if (QStandardItem *row = model->itemFromIndex(index))
                    found.rows.append({model, row});
            }
        }
        cached = queries.insert(query, found);
    }
    if (!cached->problem.isEmpty()) {
        *problem = cached->problem;
        return {};
    }
    QVector<Cell> cells;
    for (const Row &row : qAsConst(cached->rows)) {
        const int columnIndex = row.model->columnLabels().indexOf(column);
        QStandardItem *cell = columnIndex >= 0 ? cellOf(row.model, row.row, columnIndex) : nullptr;
        if (takesSignal(cell))
            cells.append({row.model, row.row, cell});
    }
    return cells;
}

QVector<SignalBinder::Binding> SignalBinder::apply(const QVector<BindingRule> &rules,
                                                   QVector<BindingProblem> *problems)
{
    QVector<Binding> bindings;
    // Rules change cells, never the rows they are found by.
    indexRows();
    queries.clear();
    for (const BindingRule &rule : rules) {
        auto problem = [&](const QString &text) {
            problems->append({rule.line, text});
        };
        bool knownColumn = false;
        for (const SelectedItemsModel *model : models)
            knownColumn = knownColumn || model->columnLabels().contains(rule.column);
        if (!knownColumn) {
            problem(QStringLiteral("unknown column \"%1\"").arg(rule.column));
            continue;
        }
        QString cellText;
        if (!labelText(rule.label, &cellText)) {
            problem(QStringLiteral("unknown label \"%1\": not in the project's signal list")
                        .arg(rule.label));
            continue;
        }
        QVector<Cell> cells = rowsNamed(rule.reference, rule.column);
        if (!cells.isEmpty()) {
            QVector<Cell> open;
            for (const Cell &cell : cells) {
                if (takesSignal(cell.cell))
                    open.append(cell);
            }
            if (open.isEmpty()) {
                problem(QStringLiteral("\"%1\" takes no signal in column \"%2\"")
                            .arg(rule.reference, rule.column));
                continue;
            }
            if (open.size() > 1) {
                problem(QStringLiteral("\"%1\" names %2 picks; add the constraint, as in "
                                       "\"%1 [ST]\"")
                            .arg(rule.reference)
                            .arg(open.size()));
                continue;
            }
            cells = open;
        } else {
            QString queryProblem;
            cells = rowsFound(rule.reference, rule.column, &queryProblem);
            if (cells.isEmpty()) {
                problem(queryProblem.isEmpty()
                            ? QStringLiteral("unknown pick \"%1\" (no pick with a \"%2\" signal "
                                             "cell is named or found so)")
                                  .arg(rule.reference, rule.column)
                            : QStringLiteral("unknown pick \"%1\": %2")
                                  .arg(rule.reference, queryProblem));
                continue;
            }
        }
        for (const Cell &cell : cells) {
            cell.cell->setData(cellText, Qt::EditRole);
            QString reference = cell.row->text();
            const QString group =
                cell.row->parent() ? QString() : cell.row->data(GroupRole).toString();
            if (!group.isEmpty())
                reference += QStringLiteral(" [%1]").arg(group);
            bindings.append({rule.line, reference, rule.column, cellText});
        }
    }
    return bindings;
}
