#pragma once

#include <QProcess>
#include <QString>

namespace testsupport {

// Starts the real program in `folder` with its settings and journal kept
// under `home`, plus any extra environment (NAME, VALUE pairs).
inline bool startProgram(QProcess& program, const QString& home, const QString& folder,
    std::initializer_list<std::pair<const char*, const char*>> extra = {})
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("XDG_CONFIG_HOME", home + "/config");
    env.insert("XDG_STATE_HOME", home + "/state");
    for (const auto& [name, value] : extra)
        env.insert(name, value);
    program.setProcessEnvironment(env);
    program.start(ZENTRIO_PROGRAM, { folder });
    return program.waitForStarted();
}

} // namespace testsupport
