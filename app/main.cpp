#include "app/form1.h"
#include "platform/filelauncher.h"
#include "platform/fs/filenames.h"
#include "platform/fs/fsops.h"
#include "platform/registry.h"
#include "platform/settings/settingsstore.h"
#include "platform/shutdownsignals.h"
#include "platform/windowmessaging.h"

#include <QApplication>
#include <QIcon>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("zentrio"));
    QApplication::setDesktopFileName(QStringLiteral("zentrio"));
    QIcon icon = QIcon::fromTheme(QStringLiteral("zentrio"));
    for (const char* size : { "32", "64", "256" })
        icon.addFile(QStringLiteral(":/icons/zentrio-%1.png").arg(QLatin1String(size)));
    QApplication::setWindowIcon(icon);
    zentrio::IniSettingsStore settings;
    zentrio::DesktopFileLauncher launcher;
    zentrio::MprisWindowMessaging messaging;
    zentrio::DesktopRegistry registry;
    // A folder named on the command line, made absolute before start-up
    // changes the current folder.
    std::string folder = argc > 1 ? argv[1] : "";
    if (!folder.empty() && folder.front() != '/')
        folder = zentrio::joinPath(zentrio::fs::currentDirectory(), folder);
    zentrio::Form1 window({ settings, launcher, messaging, registry });
    window.load();
    if (!folder.empty())
        window.openFolder(folder);
    window.show();
    // A logout, `kill` or Ctrl+C ends the program as closing the window does:
    // the settings are written, then it quits (even with About still open).
    zentrio::ShutdownSignals signals;
    QObject::connect(&signals, &zentrio::ShutdownSignals::shutdownRequested, &app, [&window] {
        window.close();
        QApplication::quit();
    });
    // The session manager may end the session without closing windows.
    QObject::connect(&app, &QGuiApplication::commitDataRequest, &window, [&window] { window.writeSettings(); });
    return QApplication::exec();
}
