#include "tags/taglib/taglibmodule.h"

#include "platform/fs/fsops.h"
#include "platform/fs/sharedmodule.h"
#include "tags/read/flacblocks.h"
#include "tags/read/formatguard.h"
#include "tags/read/vorbisentries.h"

#include <QtGlobal>

#include <cstring>

namespace zentrio {

namespace {

    // The core's functions the module calls back into (the program exports
    // them to it): kept here so that every program that can load the module
    // holds them, whatever else of the core it uses. The install test checks
    // that each installed program exports every one the module needs.
    using GuardedCheck = bool (*)(const GuardedFile&, AudioFormat);
    [[maybe_unused]] __attribute__((used)) const void* const kCalledBack[] = {
        reinterpret_cast<const void*>(&trimSpaces),
        reinterpret_cast<const void*>(&splitNumberPair),
        reinterpret_cast<const void*>(static_cast<GuardedCheck>(&safeForTagLib)),
        reinterpret_cast<const void*>(&withKeptTotal),
        reinterpret_cast<const void*>(&flacMetadataOf),
        reinterpret_cast<const void*>(&parseVorbisComment),
        reinterpret_cast<const void*>(&fs::readTail), // fs::FileReader lives beside it
    };

    // The module installed with the running program (ZENTRIO_MODULE_FROM_BINDIR
    // is its path from the program's folder); a program of the build tree
    // takes the build tree's module, and only such a program does.
    std::vector<std::string> moduleCandidates()
    {
        const std::string folder = fs::programFolder();
        if (folder.starts_with(ZENTRIO_BUILD_DIR "/"))
            return { ZENTRIO_BUILT_MODULE };
        return { folder + ZENTRIO_MODULE_FROM_BINDIR };
    }

    const fs::SharedModule& moduleFile()
    {
        static const fs::SharedModule module = fs::SharedModule::openFirst(moduleCandidates());
        return module;
    }

    // Opened as the program starts (see sharedmodule.h).
    [[maybe_unused]] const fs::SharedModule& kOpenedAtStart = moduleFile();

    const TagLibEntries* load()
    {
        std::string why;
        using Entries = const TagLibEntries* (*)();
        const auto entries = reinterpret_cast<Entries>(moduleFile().function(kTagLibEntriesSymbol, why));
        if (entries && std::strcmp(entries()->build, ZENTRIO_MODULE_BUILD) == 0 && entries()->layout == kTagLibLayout)
            return entries();
        if (entries)
            why = moduleFile().path() + ": a module of another build (" + entries()->build + ")";
        qFatal("Zentrio cannot load its TagLib module: %s", why.c_str());
    }

} // namespace

const TagLibEntries& taglib()
{
    static const TagLibEntries* const entries = load();
    return *entries;
}

} // namespace zentrio
