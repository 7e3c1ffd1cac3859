#pragma once

#include "rename/playlists/playlistrecord.h"
#include "rename/history/runtrace.h"
#include "rename/history/undomoves.h"

#include <string>
#include <vector>

// The playlists a run rewrote, put back as they were by its undo. Decided by
// the disk and a digest: a playlist holding what the run wrote gets its old
// bytes back (at its old path if the run carried it); one still holding its
// old bytes was never rewritten (the run ended before) and needs nothing;
// one holding anything else was changed since and is left alone, reported.
namespace zentrio {

struct PlaylistUndo {
    std::vector<PlaylistRewrite> restore; // to put back once the moves are taken back
    std::vector<std::string> restored; // where each one put back lies
    std::vector<PlaylistRewrite> kept; // not put back for a cause that may pass: kept in the record
    // Each one put back, with the identity older runs know at its place: a
    // new inode holds the old bytes now, and those runs are to learn it.
    std::vector<RewrittenFile> newInodes;
    // Besides those put back, the playlists whose rewrite's copies are to
    // go: at their old paths as they were, going back there with the moves,
    // or moved back there by an undo a power cut ended.
    std::vector<PlaylistRewrite> settled;
};

// Before the moves are taken back: the carried playlists to put back, or
// changed since, have their move taken out of `moves`: their file is not
// the one the run moved (a rewrite gives it a new inode), and undo writes
// the old bytes at the old path itself. Refusals go to `result.leftAlone`.
PlaylistUndo planPlaylistUndo(
    const std::vector<PlaylistRewrite>& playlists, std::vector<Move>& moves, MovesUndone& result);

// A dry run's look ahead: the files undo takes from their folders after the
// moves, the carried playlists that go back and the copies of a rewrite.
std::vector<std::string> leavingAfterMoves(const PlaylistUndo& undo);

// After the moves are taken back (the old folders are there again): the
// old bytes written beside each playlist, synced and renamed over it, or
// into its old path, which must be free; a carried one counts as moved back.
// The copies a killed rewrite left beside each playlist put back or settled
// go (those holding other bytes stay, said in `result.leftAlone`), and the
// folders the run made (`madeFolders`, parents first) that they alone kept
// are removed once empty.
void restorePlaylists(
    PlaylistUndo& undo, MovesUndone& result, const std::vector<std::string>& madeFolders, bool dryRun);

} // namespace zentrio
