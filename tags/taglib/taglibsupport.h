#pragma once

#include <QString>

#include <taglib/tstring.h>

// What every use of TagLib shares: text conversion and a quiet library.
namespace zentrio {

inline QString toQString(const TagLib::String& text) { return QString::fromStdWString(text.toWString()); }

inline TagLib::String toTagLibString(const QString& text)
{
    return TagLib::String(text.toUtf8().toStdString(), TagLib::String::UTF8);
}

// TagLib reports damaged tags on standard error; a damaged tag is an
// ordinary input here, so its reports are dropped.
void silenceTagLib();

} // namespace zentrio
