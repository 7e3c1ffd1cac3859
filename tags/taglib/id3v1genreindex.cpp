#include "tags/taglib/taglibcodec.h"
#include "tags/taglib/taglibsupport.h"

#include <taglib/id3v1genres.h>

namespace zentrio::taglibcodec {

// TagLib knows the names some genres went by before, as well as the list's.
int id3v1GenreIndex(const QString& name)
{
    return TagLib::ID3v1::genreIndex(toTagLibString(name));
}

} // namespace zentrio::taglibcodec
