#include "tags/taglib/taglibcodec.h"
#include "tags/taglib/taglibsupport.h"

#include <taglib/textidentificationframe.h>

namespace zentrio::taglibcodec {

std::string textFrame(const std::string& id, const QString& text, FrameEncoding encoding)
{
    const auto taglibEncoding = encoding == FrameEncoding::Latin1 ? TagLib::String::Latin1
        : encoding == FrameEncoding::Utf8                         ? TagLib::String::UTF8
                                                                  : TagLib::String::UTF16;
    TagLib::ID3v2::TextIdentificationFrame frame(TagLib::ByteVector(id.c_str(), 4), taglibEncoding);
    frame.setText(toTagLibString(text));
    const TagLib::ByteVector bytes = frame.render();
    return std::string(bytes.data(), bytes.size());
}

} // namespace zentrio::taglibcodec
