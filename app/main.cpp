#include "app/form1.h"
#include "platform/settingsstore.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("zentrio"));
    zentrio::IniSettingsStore settings;
    zentrio::Form1 window(settings);
    window.load();
    window.show();
    return QApplication::exec();
}
