#include "controltestsession.h"

#include "controlobjectclient.h"
#include "iedconnection.h"
#include "userprompt.h"

#include <QMutexLocker>
#include <QTime>

namespace {

QString stamped(const QString &line)
{
    return QTime::currentTime().toString(QStringLiteral("hh:mm:ss.zzz ")) + line;
}

} // namespace

ControlWorker::ControlWorker(const QString &host, int port, const QString &reference)
    : host(host), port(port), reference(reference)
{
}

ControlWorker::~ControlWorker()
{
    control.reset();
    if (connection && connection->isConnected())
        connection->close();
}

void ControlWorker::stop()
{
    QMutexLocker lock(&connectionLock);
    stopped = true;
    if (connection)
        connection->cancel();
}

bool ControlWorker::connectAndLoad()
{
    if (connection && connection->isConnected() && control && control->isLoaded())
        return true;
    control.reset();
    {
        // Made here, so that its socket belongs to this thread.
        QMutexLocker lock(&connectionLock);
        if (stopped)
            return false;
        connection = std::make_unique<IedConnection>();
    }
    const IedClientError connected = connection->connect(host, quint16(port));
    if (connected != IedClientError::Ok) {
        emit logLine(stamped(
            tr("Cannot connect to %1: %2")
                .arg(ControlTestSession::address(host, port), iedClientErrorName(connected))));
        return false;
    }
    control = std::make_unique<ControlObjectClient>(*connection, reference);
    const IedClientError loadedError = control->load();
    if (loadedError != IedClientError::Ok) {
        emit logLine(stamped(tr("Cannot read the control model of %1: %2")
                                 .arg(reference, iedClientErrorName(loadedError))));
        control.reset();
        return false;
    }
    return true;
}

void ControlWorker::load()
{
    if (connectAndLoad()) {
        const int model = int(control->controlModel());
        emit logLine(
            stamped(tr("ctlModel %1 (%2) read").arg(model).arg(ControlModels::name(model))));
        emit loaded(model, ControlValues::kind(control->ctlValType()));
    } else {
        emit loaded(-1, QString());
    }
    emit finished();
}

void ControlWorker::run(int command, const ControlTestSettings &settings)
{
    if (!connectAndLoad()) {
        emit finished();
        return;
    }
    const MmsValue value = ControlValues::fromText(control->ctlValType(), settings.value);
    if (value.isNull()) {
        emit logLine(stamped(tr("\"%1\" is no value for this object").arg(settings.value)));
        emit finished();
        return;
    }
    control->setOrigin({settings.originCategory, settings.originIdentity.toUtf8()});
    control->setTestMode(settings.test);
    control->setSynchroCheck(settings.synchroCheck);
    control->setInterlockCheck(settings.interlockCheck);
    const ControlModel model = control->controlModel();
    bool written = false;
    QString step;
    switch (command) {
    case Select:
        if (model == ControlModel::SboEnhanced) {
            written = control->selectWithValue(value);
            step = tr("Select with value %1 (SBOw, ctlNum %2)")
                       .arg(settings.value)
                       .arg(control->ctlNum());
        } else {
            written = control->select();
            step = tr("Select (SBO)");
        }
        break;
    case Cancel:
        written = control->cancel();
        step = tr("Cancel");
        break;
    default:
        written = control->operate(value);
        step = tr("Operate %1 (Oper, ctlNum %2, Test %3)")
                   .arg(settings.value)
                   .arg(control->ctlNum())
                   .arg(settings.test ? tr("on") : tr("off"));
        break;
    }
    QString line =
        step + QStringLiteral(": ") +
        (written ? tr("OK") : tr("refused, %1").arg(iedClientErrorName(control->lastError())));
    const QString termination = control->terminationText();
    const QString applError = control->lastApplErrorText();
    if (!applError.isEmpty() && termination.isEmpty())
        line += QStringLiteral("; ") + applError;
    emit logLine(stamped(line));
    for (const QString &ignored : control->ignoredTerminations())
        emit logLine(stamped(ignored));
    if (!termination.isEmpty())
        emit logLine(stamped(applError.isEmpty() ? termination
                                                 : termination + QStringLiteral(": ") + applError));
    if (command == Operate) {
        emit outcome(operateOutcome(written),
                     termination.isEmpty() ? line : line + QStringLiteral("; ") + termination);
    }
    emit finished();
}

ControlOutcome ControlWorker::operateOutcome(bool written) const
{
    if (!written) {
        // Without an answer it can read the device may still have carried it out.
        switch (control->lastError()) {
        case IedClientError::Timeout:
        case IedClientError::ConnectionLost:
        case IedClientError::MalformedMessage:
        case IedClientError::UnexpectedValueReceived:
        case IedClientError::Unknown:
            return ControlOutcome::Unknown;
        default:
            return ControlOutcome::Negative;
        }
    }
    switch (control->termination()) {
    case ControlObjectClient::Termination::NotExpected:
    case ControlObjectClient::Termination::Positive:
        return ControlOutcome::Positive;
    case ControlObjectClient::Termination::Negative:
        return ControlOutcome::Negative;
    default:
        return ControlOutcome::Unknown;
    }
}

ControlTestSession::ControlTestSession(ControlTestDialog *dialog, const QString &host, int port,
                                       const QString &reference, QSet<QString> *confirmedAddresses)
    : QObject(dialog), dialog(dialog), deviceAddress(address(host, port)),
      confirmed(confirmedAddresses), worker(new ControlWorker(host, port, reference))
{
    qRegisterMetaType<ControlTestSettings>("ControlTestSettings");
    qRegisterMetaType<ControlOutcome>("ControlOutcome");
    worker->moveToThread(&thread);
    connect(&thread, &QThread::finished, worker, &QObject::deleteLater);
    connect(worker, &ControlWorker::logLine, dialog, &ControlTestDialog::appendLog);
    connect(worker, &ControlWorker::outcome, dialog, &ControlTestDialog::outcomeReported);
    connect(worker, &ControlWorker::loaded, dialog, &ControlTestDialog::setControlModel);
    connect(worker, &ControlWorker::finished, dialog, [dialog] { dialog->setBusy(false); });
    connect(dialog, &ControlTestDialog::selectRequested, this,
            [this] { request(ControlWorker::Select); });
    connect(dialog, &ControlTestDialog::operateRequested, this,
            [this] { request(ControlWorker::Operate); });
    connect(dialog, &ControlTestDialog::cancelRequested, this,
            [this] { request(ControlWorker::Cancel); });
    thread.start();
    dialog->setBusy(true);
    QMetaObject::invokeMethod(worker, &ControlWorker::load, Qt::QueuedConnection);
}

ControlTestSession::~ControlTestSession()
{
    worker->stop();
    thread.quit();
    thread.wait();
}

QString ControlTestSession::address(const QString &host, int port)
{
    return (host.contains(QLatin1Char(':')) ? QStringLiteral("[%1]").arg(host) : host) +
           QStringLiteral(":%1").arg(port);
}

void ControlTestSession::request(ControlWorker::Command command)
{
    if (!dialog)
        return;
    if (!confirmed->contains(deviceAddress)) {
        PromptMessage question;
        question.kind = PromptMessage::Question;
        question.parent = dialog;
        question.title = tr("Test control");
        question.text =
            tr("This sends a command to the device at %1. Continue?").arg(deviceAddress);
        question.buttons = QMessageBox::Yes | QMessageBox::No;
        question.defaultButton = QMessageBox::No;
        if (UserPrompt::current().message(question) != QMessageBox::Yes) {
            dialog->appendLog(stamped(tr("Not sent: the command was not confirmed.")));
            return;
        }
        confirmed->insert(deviceAddress);
    }
    dialog->setBusy(true);
    const ControlTestSettings settings = dialog->settings();
    QMetaObject::invokeMethod(
        worker, [worker = worker, command, settings] { worker->run(command, settings); },
        Qt::QueuedConnection);
}
