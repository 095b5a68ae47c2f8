#include "scriptedprompt.h"
#include "userprompt.h"

#include <QDialog>
#include <QMenu>
#include <QtTest>

class UserPromptTest : public QObject
{
    Q_OBJECT

private slots:
    void shorthandsAskTheInstalledPrompt_data();
    void shorthandsAskTheInstalledPrompt();
    void fileQuestionsCarryTheirRequest();
    void unansweredQuestionsGetTheSafeAnswer();
    void dialogsRunThroughTheScript();
    void nestedPromptsRestoreInOrder();
    void menusChooseByText();
};

void UserPromptTest::shorthandsAskTheInstalledPrompt_data()
{
    QTest::addColumn<int>("which");
    QTest::addColumn<int>("kind");
    QTest::newRow("information") << 0 << int(PromptMessage::Information);
    QTest::newRow("warning") << 1 << int(PromptMessage::Warning);
    QTest::newRow("about") << 2 << int(PromptMessage::About);
}

void UserPromptTest::shorthandsAskTheInstalledPrompt()
{
    QFETCH(int, which);
    QFETCH(int, kind);
    ScriptedPrompt prompt;
    QWidget parent;
    const QString title = QStringLiteral("Stationscope");
    const QString text = QStringLiteral("No devices selected!!.");
    if (which == 0)
        UserPrompt::information(&parent, title, text);
    else if (which == 1)
        UserPrompt::warning(&parent, title, text);
    else
        UserPrompt::about(&parent, title, text);

    QCOMPARE(prompt.messages.size(), 1);
    const PromptMessage &asked = prompt.messages.first();
    QCOMPARE(int(asked.kind), kind);
    QCOMPARE(asked.parent, &parent);
    QCOMPARE(asked.title, title);
    QCOMPARE(asked.text, text);
    QCOMPARE(asked.buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
}

void UserPromptTest::fileQuestionsCarryTheirRequest()
{
    ScriptedPrompt prompt;
    prompt.fileAnswers << QStringLiteral("/tmp/a.scd") << QStringLiteral("/tmp/b.xlsx")
                       << QStringLiteral("/tmp");

    QCOMPARE(UserPrompt::openFileName(nullptr, "Select Config file for the project", "/home",
                                      "IEC61850 Conf files (*.scl *.cid *.scd);;"),
             QStringLiteral("/tmp/a.scd"));
    QCOMPARE(UserPrompt::saveFileName(nullptr, "Save File", "/home/x.xlsx", "Excel Files (*.xlsx)"),
             QStringLiteral("/tmp/b.xlsx"));
    QCOMPARE(UserPrompt::existingDirectory(nullptr, "Select Project Path", "/home",
                                           QFileDialog::ShowDirsOnly),
             QStringLiteral("/tmp"));

    QCOMPARE(prompt.fileRequests.size(), 3);
    QCOMPARE(prompt.fileRequests[0].mode, FileRequest::OpenFile);
    QCOMPARE(prompt.fileRequests[0].filter,
             QStringLiteral("IEC61850 Conf files (*.scl *.cid *.scd);;"));
    QCOMPARE(prompt.fileRequests[1].mode, FileRequest::SaveFile);
    QCOMPARE(prompt.fileRequests[1].directory, QStringLiteral("/home/x.xlsx"));
    QCOMPARE(prompt.fileRequests[2].mode, FileRequest::ExistingDirectory);
    QCOMPARE(prompt.fileRequests[2].options, QFileDialog::Options(QFileDialog::ShowDirsOnly));
}

void UserPromptTest::unansweredQuestionsGetTheSafeAnswer()
{
    ScriptedPrompt prompt;
    PromptMessage confirm;
    confirm.kind = PromptMessage::Question;
    confirm.buttons = QMessageBox::Ok | QMessageBox::Cancel;
    confirm.defaultButton = QMessageBox::Cancel;
    QCOMPARE(UserPrompt::current().message(confirm), QMessageBox::Cancel);
    QVERIFY(UserPrompt::openFileName(nullptr, {}, {}, {}).isEmpty());
    QDialog dialog;
    QCOMPARE(UserPrompt::exec(&dialog), int(QDialog::Rejected));

    prompt.buttonAnswers << QMessageBox::Ok;
    QCOMPARE(UserPrompt::current().message(confirm), QMessageBox::Ok);
}

void UserPromptTest::dialogsRunThroughTheScript()
{
    ScriptedPrompt prompt;
    prompt.dialogHandler = [](QDialog *dialog) {
        dialog->setObjectName(QStringLiteral("answered"));
        return int(QDialog::Accepted);
    };
    QDialog dialog;
    QCOMPARE(UserPrompt::exec(&dialog), int(QDialog::Accepted));
    QCOMPARE(dialog.objectName(), QStringLiteral("answered"));
    QCOMPARE(prompt.dialogs, QList<QDialog *>({&dialog}));
}

void UserPromptTest::nestedPromptsRestoreInOrder()
{
    UserPrompt *widgetPrompt = &UserPrompt::current();
    QVERIFY(dynamic_cast<WidgetUserPrompt *>(widgetPrompt));
    {
        ScriptedPrompt outer;
        {
            ScriptedPrompt inner;
            QCOMPARE(&UserPrompt::current(), static_cast<UserPrompt *>(&inner));
            UserPrompt::warning(nullptr, "t", "x");
            QCOMPARE(inner.messages.size(), 1);
            QCOMPARE(outer.messages.size(), 0);
        }
        QCOMPARE(&UserPrompt::current(), static_cast<UserPrompt *>(&outer));
    }
    QCOMPARE(&UserPrompt::current(), widgetPrompt);
}

void UserPromptTest::menusChooseByText()
{
    ScriptedPrompt prompt;
    QMenu menu;
    QAction *remove = menu.addAction(QStringLiteral("Delete"));
    QSignalSpy triggered(remove, &QAction::triggered);

    QCOMPARE(UserPrompt::exec(&menu, QPoint()), nullptr);
    prompt.menuAnswers << QStringLiteral("Delete");
    QCOMPARE(UserPrompt::exec(&menu, QPoint()), remove);
    QCOMPARE(triggered.count(), 1);
    QCOMPARE(prompt.menus, QList<QStringList>({{"Delete"}, {"Delete"}}));
}

QTEST_MAIN(UserPromptTest)
#include "tst_userprompt.moc"
