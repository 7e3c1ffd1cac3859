#include "app/form1.h"
#include "platform/filelauncher.h"
#include "platform/registry.h"
#include "platform/settingsstore.h"
#include "platform/windowmessaging.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("zentrio"));
    zentrio::IniSettingsStore settings;
    zentrio::DesktopFileLauncher launcher;
    zentrio::MprisWindowMessaging messaging;
    zentrio::DesktopRegistry registry;
    zentrio::Form1 window({ settings, launcher, messaging, registry });
    window.load();
    window.show();
    return QApplication::exec();
}
