#include "mainwindow.h"
#include "messagehandler.h"

#include <QApplication>

#include <csignal>
#include <memory>

int main(int argc, char *argv[])
{
#ifdef SIGXFSZ
    // Past the file size limit a save should fail with its reason ("File too
    // large"), not end the window with the project in it.
    std::signal(SIGXFSZ, SIG_IGN);
#endif
    qInstallMessageHandler(messageHandler);
    QApplication application(argc, argv);
    const auto window = std::make_unique<MainWindow>();
    window->show();
    return application.exec();
}
