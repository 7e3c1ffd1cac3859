#pragma once

// The exit statuses of every zentrio-cli command.
namespace zentrio::cli {

enum ExitStatus : int {
    kDone = 0,
    kSomeFailed = 1, // some files failed (the others done, the journal complete), or nothing could be done
    kUsage = 2, // a usage, pattern or query fault
    kConflicts = 3, // conflicts or a stale plan: nothing changed
    kInterrupted = 130, // Ctrl-C: stopped after the rename in flight
};

inline constexpr const char* kExitStatusHelp = "Exit status:\n"
                                               "  0    done\n"
                                               "  1    some files failed (the others done, the journal complete),\n"
                                               "       or the run could not be recorded (nothing changed)\n"
                                               "  2    a usage, pattern or query fault\n"
                                               "  3    conflicts or a stale plan (nothing changed)\n"
                                               "  130  interrupted (Ctrl-C); zentrio-cli undo takes back what was done";

// The tag commands' own: they have no conflicts, and their undo is "tag undo".
inline constexpr const char* kTagExitStatusHelp = "Exit status:\n"
                                                  "  0    done\n"
                                                  "  1    some files failed or were left alone (the others done, the\n"
                                                  "       journal complete), or the change could not be recorded\n"
                                                  "       (nothing changed)\n"
                                                  "  2    a usage, pattern or query fault\n"
                                                  "  130  interrupted (Ctrl-C); zentrio-cli tag undo takes back what\n"
                                                  "       was done";

} // namespace zentrio::cli
