// Any bytes as a settings file: parsing what was written gives the same
// values as the first parse, and writing it again gives the same bytes.
#include "platform/settings/inifile.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QByteArray input(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const zentrio::IniFile first = zentrio::IniFile::parse(input);
    const QByteArray written = first.serialize();
    const zentrio::IniFile second = zentrio::IniFile::parse(written);
    for (const auto& entry : first.entries()) {
        if (first.value(entry.section, entry.key) != second.value(entry.section, entry.key))
            std::abort();
    }
    if (second.serialize() != written)
        std::abort();
    // A value set and written reads back unchanged.
    zentrio::IniFile edited = second;
    if (edited.setValue("config", "chare", " - ")
        && zentrio::IniFile::parse(edited.serialize()).value("config", "chare") != QByteArray(" - "))
        std::abort();
    return 0;
}
