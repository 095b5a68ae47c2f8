#include "mainwindow.h"
#include "messagehandler.h"

#include <QApplication>
#include <memory>

int main(int argc, char *argv[])
{
    qInstallMessageHandler(messageHandler);
    QApplication application(argc, argv);
    const auto window = std::make_unique<MainWindow>();
    window->show();
    return application.exec();
}
