#ifndef STATIONSCOPE_SIGNALLISTIMPORTER_H
#define STATIONSCOPE_SIGNALLISTIMPORTER_H

#include <QList>
#include <QObject>
#include <QStringList>

class Iec61850DbManager;
class QPlainTextEdit;
class QStandardItemModel;
class QWidget;
struct SignalListFile;

// Takes a signal list file into the window's signal model and the open
// project. A file without a single signal line is refused whole, so a wrong
// export cannot wipe the list the bindings were made against; what the
// engineer should check after an import is told in one message.
class SignalListImporter : public QObject
{
    Q_OBJECT

public:
    // Bindings in the selections that name no label of a signal list.
    struct LooseBindings
    {
        int count = 0;
        // Each name once, in tree order, at most MaxNamesShown.
        QStringList names;
        bool moreNames = false;
    };
    static const int MaxNamesShown = 10;

    SignalListImporter(QWidget *window, QPlainTextEdit *infoScreen, QObject *parent = nullptr);

    // Replaces signalModel and, with db set, the project's stored list by the
    // file's signals. False, after a warning, when the file is refused or the
    // project cannot store it: model and project then hold what they held.
    bool importFile(const QString &path, QStandardItemModel *signalModel, Iec61850DbManager *db,
                    const QList<QStandardItemModel *> &selections);

    static LooseBindings looseBindings(const QList<QStandardItemModel *> &selections,
                                       const QStandardItemModel &signalList);

signals:
    // Around the refill of the signal model, so views can let go of it.
    void replacing();
    void replaced();

private:
    void tellWhatToCheck(const QString &path, const SignalListFile &list,
                         const LooseBindings &loose);

    QWidget *window;
    QPlainTextEdit *infoScreen;
};

#endif
