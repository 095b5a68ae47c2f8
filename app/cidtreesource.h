#ifndef STATIONSCOPE_CIDTREESOURCE_H
#define STATIONSCOPE_CIDTREESOURCE_H

// What the CID tree shows: the open document's SCL model or the last online
// browse, each in a model of its own, so a browse never replaces a project's
// model; and the label above the tree, which names what it shows. Whatever
// refills or empties the document (open, new, import, update, close) brings
// the tree back to it.

#include <QObject>
#include <QString>

class QAbstractItemModel;
class QPushButton;
class SelectedItemsModel;
class TreeviewContainer;

class CidTreeSource : public QObject
{
    Q_OBJECT

public:
    CidTreeSource(TreeviewContainer *trees, SelectedItemsModel *document,
                  SelectedItemsModel *online, QObject *parent = nullptr);

    // Brings the tree back to the document; it is shown once a browse has
    // replaced a document that has content.
    void setDocumentButton(QPushButton *button);

    bool showsOnline() const;
    // The browse of the IED at address has just filled the online model.
    void showOnline(const QString &address);
    void showDocument();

    // The label's text for the document as it stands.
    static QString documentTitle(const SelectedItemsModel *document);

    // The document or its selections are about to be refilled or emptied:
    // the tree goes back to the document first, or emptying the container
    // would empty the online model and leave the old document behind.
    void documentAboutToChange();

private:
    void refresh();

    TreeviewContainer *trees;
    SelectedItemsModel *document;
    SelectedItemsModel *online;
    QPushButton *documentButton = nullptr;
    QString onlineAddress;
};

#endif
