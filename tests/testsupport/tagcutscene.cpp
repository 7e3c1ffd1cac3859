#include "testsupport/tagcutscene.h"

#include "testsupport/formatfixture.h"
#include "testsupport/id3v2fixture.h"
#include "testsupport/mp3fixture.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>

namespace testsupport::tagcut {

namespace {

    QByteArray runIn(const PowerMount& mount, const QString& folder, const QStringList& arguments)
    {
        QProcess cli;
        cli.setProcessChannelMode(QProcess::MergedChannels);
        cli.setProcessEnvironment(mount.programEnvironment());
        cli.setWorkingDirectory(mount.root() + "/" + folder);
        cli.start(ZENTRIO_CLI, arguments);
        cli.waitForFinished(60000);
        return cli.readAll();
    }

} // namespace

Files files(bool otherFormats)
{
    Files files {
        { "padded.mp3", id3v2(3, { { "One" }, { "Band" }, { "Album" } }) + audio(3000) },
        { "plain.mp3", audio(2500) + id3v1("Two", "Band", "Album") },
        { "recorded.mp3", id3v2(4, { { "Three" }, { "Band" }, { "Album" } }) + audio(2000)
                + id3v1("Three", "Band", "Album") },
    };
    if (otherFormats) {
        files.append({ "padded.flac", flacFile({ "TITLE=Four", "ARTIST=Band" }, 700, 2000) });
        files.append({ "tight.m4a", mp4File({ mp4Item("\251nam", 1, "Five"), 0, 0, false, false, false, 2000 }) });
    }
    return files;
}

void lay(const QString& root, const Files& files)
{
    for (const char* folder : { "music", "empty", "state", "config" })
        QDir(root).mkpath(folder);
    for (const auto& [name, bytes] : files)
        writeFile((root + "/music").toStdString(), name.toStdString(), bytes);
}

bool useStateBefore(PowerMount& mount)
{
    QDir(mount.root()).mkpath("earlier");
    writeTagged((mount.root() + "/earlier").toStdString(), "earlier.mp3", "Earlier");
    runIn(mount, "earlier", { "tag", "set", "--albumartist", "Y", "." });
    return mount.send("sync");
}

QByteArray run(const PowerMount& mount, const QStringList& arguments) { return runIn(mount, "music", arguments); }

PowerMount::Run runAndCut(
    PowerMount& mount, const QStringList& arguments, int freezeAfter, const QByteArray& cut, int loseSync)
{
    return mount.runAndCut(
        ZENTRIO_CLI, arguments, mount.programEnvironment(), mount.root() + "/music", freezeAfter, cut, loseSync);
}

PowerMount::Run repairAndCut(PowerMount& mount, int freezeAfter)
{
    return mount.runAndCut(
        ZENTRIO_CLI, { "tag", "set", "--albumartist", "X", "." }, mount.programEnvironment(), mount.root() + "/empty", freezeAfter);
}

QStringList tagSet() { return { "tag", "set", "--albumartist", "X", "." }; }

QByteArray digest(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha256)
                                          : QByteArray();
}

QMap<QString, QByteArray> digests(const PowerMount& mount, const Files& files)
{
    QMap<QString, QByteArray> now;
    for (const auto& [name, bytes] : files)
        now[name] = digest(mount.root() + "/music/" + name);
    return now;
}

QString brokenAfterCut(const PowerMount& mount, const Files& files, const QMap<QString, QByteArray>& newDigests,
    bool lastChange, bool reportedDone)
{
    const QByteArray repaired = runIn(mount, "empty", { "tag", "set", "--albumartist", "X", "." });
    if (reportedDone && digests(mount, files) != newDigests)
        return "a file lost the change the run reported done: " + QString::fromUtf8(repaired);
    QStringList names;
    for (const auto& [name, bytes] : files) {
        const QByteArray now = digest(mount.root() + "/music/" + name);
        if (now != QCryptographicHash::hash(bytes, QCryptographicHash::Sha256) && now != newDigests.value(name))
            return name + " holds neither its old nor its new bytes after the repair: " + QString::fromUtf8(repaired);
        names << name;
    }
    names.sort();
    const QStringList present
        = QDir(mount.root() + "/music").entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
    if (present != names)
        return "the folder holds " + present.join(", ");
    const QByteArray undone = run(mount, { "tag", "undo" });
    QStringList notBack;
    for (const auto& [name, bytes] : files)
        if (readFile((mount.root() + "/music/" + name).toStdString()) != bytes)
            notBack << name;
    if (!notBack.isEmpty())
        return notBack.join(", ") + " not brought back by the undo: " + QString::fromUtf8(undone);
    const QByteArray again = lastChange ? run(mount, { "tag", "undo" }) : QByteArray();
    if (lastChange && again != "no tag changes to undo\n")
        return "a second undo found more: " + QString::fromUtf8(again);
    return {};
}

} // namespace testsupport::tagcut
