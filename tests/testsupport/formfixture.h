#pragma once

#include "app/form1.h"
#include "platform/settings/settingsstore.h"
#include "testsupport/fakes.h"

#include "testsupport/tempdir.h"

#include <QList>
#include <QUrl>

#include <memory>
#include <string>

class QAction;

// A real Form1 under test: a temporary settings folder, a temporary music
// folder, and helpers that drive the window through its controls.
namespace testsupport {

class FormFixture {
public:
    // `messaging` replaces the fake player remote (for tests on a real bus).
    explicit FormFixture(zentrio::WindowMessaging* messaging = nullptr);
    ~FormFixture();

    std::string music() const { return m_music.path().toStdString(); }
    zentrio::IniSettingsStore& store() { return *m_store; }
    QByteArray config(const char* key) const;
    void setConfig(const char* key, const QByteArray& value);
    void setLanguage(const QString& key, const QByteArray& value);

    // Points the saved folder at the music folder (unless `firstStart`),
    // creates the window, runs its start-up and shows it.
    zentrio::Form1& start(bool firstStart = false);
    zentrio::Form1& form() { return *m_form; }
    void close();

    QString message() const;
    QStringList listedNames() const; // the item texts of the file list, in order
    void clickRow(int index); // 1-based, a left click on the row's artist cell
    void trigger(const char* actionName);
    void check(int position, bool checked); // 0-based, through the row's check box

    // Drags the URLs over the window, moves them and drops them; whether the
    // window took each of the three events.
    struct DragOutcome {
        bool entered = false;
        bool moved = false;
        bool dropped = false;
    };
    DragOutcome drag(const QList<QUrl>& urls);

    FakeLauncher launcher;
    FakeMessaging messaging;
    FakeRegistry registry;

private:
    zentrio::WindowMessaging* m_messaging;
    testsupport::TempDir m_config;
    testsupport::TempDir m_music;
    std::unique_ptr<zentrio::IniSettingsStore> m_store;
    std::unique_ptr<zentrio::Form1> m_form;
};

} // namespace testsupport
