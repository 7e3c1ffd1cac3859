#include "tags/taglib/taglibsupport.h"

#include <taglib/tdebuglistener.h>

#include <mutex>

namespace zentrio {

namespace {

    class QuietListener final : public TagLib::DebugListener {
    public:
        void printMessage(const TagLib::String&) override { }
    };

} // namespace

void silenceTagLib()
{
    static QuietListener quiet;
    static std::once_flag once;
    std::call_once(once, [] { TagLib::setDebugListener(&quiet); });
}

} // namespace zentrio
