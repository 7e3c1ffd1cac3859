#pragma once

#include "tags/taglib/taglibentries.h"

// The TagLib module's side of the table (see taglibentries.h): the work
// done through TagLib, under the names the table gives it.
namespace zentrio::taglibcodec {

std::optional<IdentifiedTag> readFormatTag(const std::string& path, AudioFormat format);
std::optional<TagFields> formatFieldsOf(std::string_view bytes, AudioFormat format);
std::optional<TagFields> id3v2FieldsOf(std::string_view tagBytes);
QString id3v2FirstText(std::string_view tagBytes, const char* id);
QStringList id3v2FirstValues(std::string_view tagBytes, const char* id);
std::string textFrame(const std::string& id, const QString& text, FrameEncoding encoding);
std::string withNewId3v2Tag(const std::string& file, const std::vector<FrameValue>& values);
std::optional<std::string> withUpdatedId3v2Tag(const std::string& file, const std::vector<FrameValue>& values);
int id3v1GenreIndex(const QString& name);

} // namespace zentrio::taglibcodec
