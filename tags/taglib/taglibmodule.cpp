#include "tags/taglib/taglibmodule.h"

#include "platform/fs/fsops.h"
#include "tags/read/flacblocks.h"
#include "tags/read/formatguard.h"
#include "tags/read/vorbisentries.h"

#include <QtGlobal>

#include <dlfcn.h>
#include <unistd.h>

#include <climits>
#include <string>
#include <vector>

namespace zentrio {

namespace {

    // The core's functions the module calls back into (the program exports
    // them to it): kept here so that every program that can load the module
    // holds them, whatever else of the core it uses. A module that calls one
    // not named here fails to load in the tests, never in a user's read.
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
    // is its path from the program's folder), then the one of the build tree
    // the program was built in.
    std::vector<std::string> moduleCandidates()
    {
        std::vector<std::string> candidates;
        char self[PATH_MAX];
        const ssize_t length = readlink("/proc/self/exe", self, sizeof self - 1);
        if (length > 0) {
            std::string folder(self, static_cast<std::size_t>(length));
            folder.erase(folder.rfind('/') + 1);
            candidates.push_back(folder + ZENTRIO_MODULE_FROM_BINDIR);
        }
        candidates.push_back(ZENTRIO_BUILT_MODULE);
        return candidates;
    }

    const TagLibEntries* load()
    {
        std::string errors;
        for (const std::string& path : moduleCandidates()) {
            if (access(path.c_str(), F_OK) != 0) {
                errors += path + ": not found; ";
                continue;
            }
            // RTLD_NOW: a symbol the module cannot find fails here, once,
            // never in the middle of a read.
            void* module = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
            if (!module) {
                errors += std::string(dlerror()) + "; ";
                continue;
            }
            using Entries = const TagLibEntries* (*)();
            const auto entries = reinterpret_cast<Entries>(dlsym(module, kTagLibEntriesSymbol));
            if (entries && entries()->version == kTagLibEntriesVersion)
                return entries();
            errors += path + ": not a module of this build; ";
        }
        errors.resize(errors.size() - 2);
        qFatal("Zentrio cannot load its TagLib module: %s", errors.c_str());
    }

} // namespace

const TagLibEntries& taglib()
{
    static const TagLibEntries* const entries = load();
    return *entries;
}

} // namespace zentrio
