#include "tags/taglib/taglibcodec.h"

// The module's one entry: its table, which the core checks against its own
// build before it calls anything in it.
extern "C" __attribute__((visibility("default"))) const zentrio::TagLibEntries* zentrio_taglib_entries()
{
    using namespace zentrio::taglibcodec;
    static constexpr zentrio::TagLibEntries kEntries { ZENTRIO_MODULE_BUILD, zentrio::kTagLibLayout, readFormatTag, formatFieldsOf,
        id3v2FieldsOf, id3v2FirstText, id3v2FirstValues, textFrame, withNewId3v2Tag, withUpdatedId3v2Tag,
        id3v1GenreIndex };
    return &kEntries;
}
