#pragma once

#include "testsupport/powermount.h"

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QPair>
#include <QString>
#include <QStringList>

// The folders the power-cut tests of the tag writers work in, on a
// PowerMount: "music" with the files whose tags change, "empty" (a tag set
// over it is the start-up repair alone), and the state and config folders
// the programs are pointed at, so that the journal and the crash copies lie
// on the mount too.
namespace testsupport::tagcut {

using Files = QList<QPair<QString, QByteArray>>;

// Three MP3 files: two whose new tag fits in their tag's padding (written in
// place, one with an ID3v1 record too) and one without an ID3v2 tag, whose
// tag must grow (the audio moves, behind a copy of the whole file). With
// `otherFormats`, a FLAC file written in place and an M4A file whose
// metadata grows too.
Files files(bool otherFormats = false);

void lay(const QString& root, const Files& files);

// The state folder of a user who changed tags before: its journal, lock
// and folder of crash copies made and durable.
bool useStateBefore(PowerMount& mount);

// zentrio-cli in "music", to its end.
QByteArray run(const PowerMount& mount, const QStringList& arguments);
// zentrio-cli in "music", cut as PowerMount::runAndCut cuts.
PowerMount::Run runAndCut(PowerMount& mount, const QStringList& arguments, int freezeAfter,
    const QByteArray& cut = "cut", int loseSync = 0);

// The start-up repair alone (a tag set over "empty"), cut as runAndCut cuts.
PowerMount::Run repairAndCut(PowerMount& mount, int freezeAfter);

// The tag change the tests cut: --albumartist X over the whole folder.
QStringList tagSet();

QByteArray digest(const QString& path);
// Each file's digest in "music" now.
QMap<QString, QByteArray> digests(const PowerMount& mount, const Files& files);

// What a user finds after the power came back: the start-up repair runs
// (a tag set over an empty folder), then tag undo, then another. Empty
// when every file then held its old or its new bytes (by `newDigests`) and
// no other file lay beside them, the undo brought every file back, and
// (with `lastChange`, the journal holding no change from before) the next
// undo found nothing; else what broke. With `reportedDone` (the run ended
// saying so) every file must hold its new bytes after the repair.
QString brokenAfterCut(const PowerMount& mount, const Files& files, const QMap<QString, QByteArray>& newDigests,
    bool lastChange, bool reportedDone = false);

} // namespace testsupport::tagcut
