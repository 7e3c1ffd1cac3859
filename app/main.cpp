#include "app/form1.h"
#include "platform/filelauncher.h"
#include "platform/registry.h"
#include "platform/settingsstore.h"
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
    zentrio::Form1 window({ settings, launcher, messaging, registry });
    window.load();
    window.show();
    return QApplication::exec();
}
