#pragma once

#include <QWidget>

class QGroupBox;
class QLabel;
class QPushButton;

namespace zentrio {

class Registry;
class SettingsStore;

// The position of the About window over the main window, all in the same
// units: centred across it, its top halfway between the screen's top and
// where its bottom would meet the main window's bottom.
QPoint aboutPosition(const QRect& mainWindow, const QSize& about);

// `frmAbout`: names the program and its version, the interface language and
// the computer, and offers the switch that takes the arrow off shortcut icons.
class FrmAbout final : public QWidget {
    Q_OBJECT
public:
    FrmAbout(SettingsStore& settings, Registry& registry);

    // Window load: position, computer's name and language line.
    void load(const QRect& mainWindow);

    QLabel* lblTitle = nullptr;
    QLabel* Picture1 = nullptr;
    QLabel* Label1_1 = nullptr; // the language line
    QLabel* Label2_0 = nullptr;
    QLabel* Label1_3 = nullptr; // credit line
    QLabel* Label2_1 = nullptr;
    QLabel* Label7 = nullptr; // support contact
    QGroupBox* Frame1 = nullptr;
    QLabel* Label3 = nullptr; // the computer's name
    QLabel* Label5 = nullptr;
    QPushButton* Command1 = nullptr;
    QPushButton* cmdOK = nullptr;
    QLabel* lblDisclaimer = nullptr;

protected:
    // Escape and Return close the window, as its OK button does.
    void keyPressEvent(QKeyEvent* event) override;

private:
    void offClicked();

    SettingsStore& m_settings;
    Registry& m_registry;
};

} // namespace zentrio
