#include "tags/read/treewalk.h"

#include "platform/fs/filenames.h"
#include "platform/fs/fsops.h"
#include "platform/fs/posixio.h"
#include "platform/fs/readpool.h"
#include "tags/read/audiofile.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <condition_variable>
#include <cstring>
#include <fcntl.h>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <sys/stat.h>
#include <unordered_map>
#include <unordered_set>

namespace zentrio {

namespace {

enum class Kind { File, Folder, FileLink, FolderLink, Other };

Kind kindAt(int folderFd, const dirent& entry)
{
    struct stat st { };
    unsigned char type = entry.d_type;
    if (type == DT_UNKNOWN) {
        if (::fstatat(folderFd, entry.d_name, &st, AT_SYMLINK_NOFOLLOW) != 0)
            return Kind::Other;
        type = S_ISDIR(st.st_mode) ? DT_DIR : S_ISREG(st.st_mode) ? DT_REG : S_ISLNK(st.st_mode) ? DT_LNK : DT_UNKNOWN;
    }
    switch (type) {
    case DT_REG:
        return Kind::File;
    case DT_DIR:
        return Kind::Folder;
    case DT_LNK:
        if (::fstatat(folderFd, entry.d_name, &st, 0) != 0)
            return Kind::Other; // a link to nothing
        return S_ISREG(st.st_mode) ? Kind::FileLink : S_ISDIR(st.st_mode) ? Kind::FolderLink : Kind::Other;
    default:
        return Kind::Other;
    }
}

struct Listing {
    std::vector<WalkedFile> audio;
    std::vector<std::string> others;
    std::vector<std::string> subfolders;
    std::vector<std::string> leftOut; // audio files of formats not taken
    std::vector<std::pair<std::string, bool>> kept; // every entry, with keepEntries
    std::size_t entries = 0;
    std::string error; // empty when listed
};

Listing listOne(const std::string& folder, AudioFormats formats, bool keepEntries)
{
    Listing listing;
    const int error = fs::forEachEntry(folder, [&](int folderFd, const dirent& e) {
        ++listing.entries;
        const bool hidden = e.d_name[0] == '.';
        if (hidden && !keepEntries)
            return;
        const Kind kind = kindAt(folderFd, e);
        if (keepEntries)
            listing.kept.emplace_back(e.d_name, kind == Kind::Folder || kind == Kind::FolderLink);
        if (hidden)
            return; // hidden, as in the window's list
        if (kind == Kind::Folder)
            listing.subfolders.emplace_back(e.d_name);
        else if ((kind == Kind::File || kind == Kind::FileLink) && isAudioFileName(e.d_name, formats))
            listing.audio.push_back({ e.d_name, kind == Kind::FileLink });
        else if ((kind == Kind::File || kind == Kind::FileLink) && isAudioFileName(e.d_name))
            listing.leftOut.emplace_back(e.d_name);
        else if (kind == Kind::File)
            listing.others.emplace_back(e.d_name);
    });
    if (error != 0)
        listing.error = std::strerror(error);
    const auto byName = [](const WalkedFile& a, const WalkedFile& b) { return a.name < b.name; };
    std::sort(listing.audio.begin(), listing.audio.end(), byName);
    std::sort(listing.others.begin(), listing.others.end());
    return listing;
}

// Why a file named is not walked.
std::string notTakenReason(std::string_view name, AudioFormats formats)
{
    if (formats == AudioFormats::only(AudioFormat::Mp3))
        return "not an MP3 file";
    return isAudioFileName(name) ? "not of the formats chosen" : "not an audio file";
}

// A listing waited on its device when it took longer than a cached one of
// its length would.
bool listingWaited(std::chrono::steady_clock::duration took, std::size_t entries)
{
    return waitedOnDevice(took, kWaitedWork + std::chrono::microseconds(2) * entries);
}

// Files read and not yet handed over; past this only the next folder to be
// handed over is read further, so memory stays in proportion to a folder,
// not to the library.
constexpr std::size_t kReadAhead = 4096;

// Reads a thread takes from one folder at a time while they are quick:
// fewer turns at the walker's lock. Once a read has waited on its device,
// threads take one at a time, so that many are in flight and the pool grows.
constexpr std::size_t kReadsPerTurn = 16;

struct Node {
    WalkedFolder folder;
    bool listed = false;
    std::string error; // the listing failed
    FolderReads reads;
    std::size_t claimed = 0; // reads begun, under the walker's mutex
    std::atomic<std::size_t> read { 0 }; // reads done
    bool ready = false; // listed, read, and onPool done: it may be handed over
    std::any made; // onListed's, onRead's and onPool's
};

struct ByPath {
    bool operator()(const Node* a, const Node* b) const { return pathLess(a->folder.path, b->folder.path); }
};

class Walker {
public:
    explicit Walker(const LibraryWalk& request)
        : m_request(request)
    {
    }

    bool run()
    {
        addNamedPaths();
        // The calling thread reads too while the next folder is not ready.
        std::jthread pool([this] { runOnGrowingPool([this] { return work(false); }, kReadThreads, 1); });
        bool complete = true;
        for (;;) {
            std::unique_ptr<Node> node = nextInOrder();
            if (!node)
                break;
            if (!node->error.empty()) {
                if (m_request.failed)
                    m_request.failed({ node->folder.path, node->error });
            } else if (m_request.inOrder) {
                m_request.inOrder(node->folder, node->reads, node->made);
            }
            if (m_request.readTags) // a folder only listed began no reads
                m_readAhead -= node->folder.audio.size();
            m_changed.notify_all();
            node.reset();
            if (m_request.keepGoing && !m_request.keepGoing(m_readCount.load(), m_found.load())) {
                complete = false;
                break;
            }
        }
        {
            const std::lock_guard lock(m_mutex);
            m_stopped = true;
        }
        m_changed.notify_all();
        return complete;
    }

private:
    Node* addNode(WalkedFolder folder) // under the mutex, or before the pool starts
    {
        auto node = std::make_unique<Node>();
        node->folder = std::move(folder);
        Node* added = node.get();
        m_nodes.emplace(added, std::move(node));
        m_frontier.insert(added);
        return added;
    }

    // Folders named are listed as reached from their own argument, also when
    // one lies below another; files named one by one make a folder of their
    // own unless the walk lists theirs whole.
    void addNamedPaths()
    {
        std::vector<std::pair<std::string, std::size_t>> files;
        for (std::size_t i = 0; i < m_request.paths.size(); ++i) {
            const std::string& path = m_request.paths[i];
            struct stat st { };
            if (::stat(path.c_str(), &st) != 0) {
                fail(path, std::strerror(errno));
            } else if (S_ISDIR(st.st_mode)) {
                if (m_named.insert(path).second)
                    m_toList.insert(addNode({ path, i, true, {}, {} }));
            } else if (!S_ISREG(st.st_mode)) {
                fail(path, "not a regular file");
            } else if (!isAudioFileName(baseOf(path), m_request.formats)) {
                fail(path, notTakenReason(baseOf(path), m_request.formats));
            } else {
                files.emplace_back(path, i);
            }
        }
        std::map<std::string, Node*> byFolder;
        std::unordered_map<std::string, std::unordered_set<std::string>> named;
        for (const auto& [path, argument] : files) {
            const std::string folder = parentOf(path);
            if (walkedWhole(folder) || !named[folder].insert(baseOf(path)).second)
                continue;
            struct stat own { };
            const bool link = ::lstat(path.c_str(), &own) == 0 && S_ISLNK(own.st_mode);
            Node*& node = byFolder[folder];
            if (!node) {
                node = addNode({ folder, argument, false, {}, {} });
                node->folder.listed = false;
            }
            node->folder.audio.push_back({ baseOf(path), link });
        }
        for (auto& [folder, node] : byFolder) {
            std::sort(node->folder.audio.begin(), node->folder.audio.end(),
                [](const WalkedFile& a, const WalkedFile& b) { return a.name < b.name; });
            node->listed = true;
            node->reads.resize(node->folder.audio.size());
            m_found += node->folder.audio.size();
            if (m_request.onListed)
                node->made = m_request.onListed(node->folder);
            if (m_request.readTags)
                m_toRead.insert(node);
            else
                finish(node); // before the pool starts: nothing else holds the node
        }
    }

    // The folder is named, or lies below a folder named (through visible
    // folders only) and the walk goes down.
    bool walkedWhole(const std::string& folder) const
    {
        if (m_named.contains(folder))
            return true;
        if (!m_request.recursive)
            return false;
        for (std::string above = folder; above != "/" && above != "."; above = parentOf(above)) {
            if (baseOf(above).starts_with('.'))
                return false;
            if (m_named.contains(parentOf(above)))
                return true;
        }
        return false;
    }

    void fail(const std::string& path, std::string reason)
    {
        if (m_request.failed)
            m_request.failed({ path, std::move(reason) });
    }

    // The next folder in path order once it is ready, reading meanwhile;
    // nullptr at the end.
    std::unique_ptr<Node> nextInOrder()
    {
        std::unique_lock lock(m_mutex);
        for (;;) {
            if (m_frontier.empty())
                return nullptr;
            if ((*m_frontier.begin())->ready)
                break;
            lock.unlock();
            const bool worked = work(true) != Piece::None;
            lock.lock();
            if (!worked && !m_frontier.empty() && !(*m_frontier.begin())->ready)
                m_changed.wait(lock);
        }
        Node* next = *m_frontier.begin();
        m_frontier.erase(m_frontier.begin());
        auto owned = m_nodes.extract(next);
        return std::move(owned.mapped());
    }

    // One turn of work: a listing, or a few reads of one folder. The
    // calling thread (`helping`) takes a turn only when one is there.
    Piece work(bool helping)
    {
        std::unique_lock lock(m_mutex);
        for (;;) {
            if (m_stopped)
                return Piece::None;
            Node* toList = m_toList.empty() ? nullptr : *m_toList.begin();
            Node* toRead = m_toRead.empty() ? nullptr : *m_toRead.begin();
            if (toRead && m_readAhead.load() >= kReadAhead && toRead != *m_frontier.begin())
                toRead = nullptr;
            if (toList && (!toRead || !pathLess(toRead->folder.path, toList->folder.path))) {
                m_toList.erase(m_toList.begin());
                ++m_listing;
                lock.unlock();
                return list(toList);
            }
            if (toRead) {
                // A turn's reads are taken here, so once the last of a folder's
                // reads is taken no thread looks at the folder but to read.
                const std::size_t first = toRead->claimed;
                const std::size_t count = toRead->folder.audio.size();
                toRead->claimed = std::min(count, first + (m_waited.load() ? 1 : kReadsPerTurn));
                if (toRead->claimed == count)
                    m_toRead.erase(m_toRead.begin());
                m_readAhead += toRead->claimed - first;
                const std::size_t last = toRead->claimed;
                lock.unlock();
                return readSome(toRead, first, last);
            }
            if (helping || (m_toList.empty() && m_toRead.empty() && m_listing == 0))
                return Piece::None;
            m_changed.wait(lock);
        }
    }

    Piece list(Node* node)
    {
        const auto begun = std::chrono::steady_clock::now();
        Listing listing = listOne(node->folder.path, m_request.formats, m_request.keepEntries);
        const bool waited = listingWaited(std::chrono::steady_clock::now() - begun, listing.entries);
        bool failed = false;
        bool none = false;
        {
            const std::lock_guard lock(m_mutex);
            node->listed = true;
            if (!listing.error.empty()) {
                node->error = std::move(listing.error);
                failed = true;
            } else {
                node->folder.audio = std::move(listing.audio);
                node->folder.others = std::move(listing.others);
                node->folder.entries = std::move(listing.kept);
                node->folder.whole = listing.leftOut.empty();
                std::sort(listing.leftOut.begin(), listing.leftOut.end());
                node->folder.leftOut = std::move(listing.leftOut);
                node->reads.resize(node->folder.audio.size());
                m_found += node->folder.audio.size();
                if (m_request.recursive)
                    addSubfolders(*node, listing.subfolders);
                none = node->folder.audio.empty() || !m_request.readTags;
            }
        }
        // Outside the lock: no other thread looks at the node's files before
        // its reads are queued, and the listing counts as in flight until
        // then, so no thread of the pool ends for want of work meanwhile.
        if (!failed && m_request.onListed)
            node->made = m_request.onListed(node->folder);
        {
            const std::lock_guard lock(m_mutex);
            --m_listing;
            if (failed)
                node->ready = true;
            else if (!none)
                m_toRead.insert(node);
        }
        if (none)
            finish(node);
        m_changed.notify_all();
        return waited ? Piece::Waited : Piece::Quick;
    }

    void addSubfolders(const Node& parent, const std::vector<std::string>& names) // under the mutex
    {
        for (const std::string& name : names) {
            std::string path = joinPath(parent.folder.path, name);
            const auto& leftOut = m_request.leftOut;
            if (std::find(leftOut.begin(), leftOut.end(), path) != leftOut.end())
                continue;
            if (!m_named.contains(path)) // named too: its own node, reached from its own argument
                m_toList.insert(addNode({ std::move(path), parent.folder.argument, true, {}, {} }));
        }
    }

    // The folder's reads [first, last); the node may be handed over (and
    // freed) once the last of them is done, so it is not looked at after.
    Piece readSome(Node* node, std::size_t first, std::size_t last)
    {
        const std::size_t count = node->folder.audio.size();
        // Several reads open their files within the folder, so that the
        // kernel walks the folder's path once for them, not once each.
        const fs::Fd folderFd(
            last - first > 1 ? ::open(node->folder.path.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC) : -1);
        bool waited = false;
        for (std::size_t i = first; i < last; ++i) {
            const auto begun = std::chrono::steady_clock::now();
            const std::string& name = node->folder.audio[i].name;
            const std::string path = joinPath(node->folder.path, name);
            // A path the kernel would refuse as too long is refused here too:
            // the run that follows works by paths.
            node->reads[i] = folderFd.get() >= 0 && path.size() < PATH_MAX
                ? readIdentifiedTagIn(folderFd.get(), name, path, m_request.source)
                : readIdentifiedTag(path, m_request.source);
            if (m_request.onRead)
                m_request.onRead(node->folder, i, node->reads[i], node->made);
            if (waitedOnDevice(std::chrono::steady_clock::now() - begun)) {
                waited = true;
                m_waited = true;
            }
            ++m_readCount;
            if (node->read.fetch_add(1) + 1 == count)
                finish(node); // the last read: no other thread holds the node
        }
        return waited ? Piece::Waited : Piece::Quick;
    }

    // The folder's own work, once its tags are read; then it may be handed over.
    void finish(Node* node)
    {
        if (m_request.onPool)
            m_request.onPool(node->folder, node->reads, node->made);
        {
            const std::lock_guard lock(m_mutex);
            node->ready = true;
        }
        m_changed.notify_all();
    }

    const LibraryWalk& m_request;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::unordered_map<const Node*, std::unique_ptr<Node>> m_nodes;
    std::set<Node*, ByPath> m_frontier; // found and not yet handed over
    std::set<Node*, ByPath> m_toList;
    std::set<Node*, ByPath> m_toRead; // with reads not yet begun
    std::unordered_set<std::string> m_named; // folders named on the command line
    std::size_t m_listing = 0; // listings in flight
    std::atomic<std::size_t> m_readAhead = 0; // reads begun, not yet handed over
    std::atomic<std::size_t> m_found = 0;
    std::atomic<std::size_t> m_readCount = 0;
    std::atomic<bool> m_waited = false; // a read has waited on its device
    bool m_stopped = false;
};

} // namespace

bool pathLess(const std::string& a, const std::string& b)
{
    const auto key = [](char c) { return c == '/' ? 0 : static_cast<unsigned char>(c) + 1; };
    return std::lexicographical_compare(
        a.begin(), a.end(), b.begin(), b.end(), [&](char x, char y) { return key(x) < key(y); });
}

bool walkLibrary(const LibraryWalk& walk)
{
    return Walker(walk).run();
}

} // namespace zentrio
