#include "rename/history/runtrail.h"

#include "rename/history/runtrace.h"

namespace zentrio {

namespace {

    class RunTrail final : public FileTrail {
    public:
        explicit RunTrail(RunHistory history)
            : m_history(std::move(history))
        {
        }
        std::vector<std::string> whereNow(std::int64_t since, const std::vector<std::string>& paths) const override
        {
            return zentrio::whereNow(m_history, since, paths);
        }
        void noteRewritten(const std::vector<RewrittenFile>& files) const override
        {
            zentrio::noteRewritten(m_history, files);
        }

    private:
        RunHistory m_history;
    };

} // namespace

std::shared_ptr<const FileTrail> runTrail(RunHistory history) { return std::make_shared<RunTrail>(std::move(history)); }

TagJournal standardTagJournal() { return TagJournal(defaultTagJournalPath(), runTrail(RunHistory::standard())); }

} // namespace zentrio
