#pragma once

#include <cstddef>
#include <vector>

// Makes the writes to many open files last through a power cut together, at
// the cost of the disk rather than of one journal commit per file. Each
// file's write-back starts as soon as it is added, so the disk works on all
// of them while the rest are written. The commit then waits: on a local
// journalled file system with little else unwritten, one syncfs of the file
// system covers every file on it (their bytes, their sizes and every name
// made before); anywhere else (FUSE, network shares, the volumes made for
// Windows, a syncfs that failed) each file gets its own fsync, which is the
// only sync such file systems are known to honour and report.
namespace zentrio::fs {

class DurableBatch {
public:
    // The file, whose writes are made, joins the batch. The descriptor stays
    // the caller's and must stay open until commit.
    void add(int fd);

    // Waits until every file added is on the disk; one flag per file, in
    // the order they were added. The batch is empty afterwards.
    std::vector<bool> commit();

private:
    std::vector<int> m_fds;
    std::vector<bool> m_failed; // its write-back could not even be started
};

// Whether a batch of `files` files, all on the file system of `fd`, is made
// durable by one syncfs: the file system's kind, the kernel (which reports
// an error of the journal's commit to syncfs only since Linux 5.17), the
// batch's size and the data other programs have not yet written all decide.
bool syncsWholeFileSystem(int fd, std::size_t files);

} // namespace zentrio::fs
