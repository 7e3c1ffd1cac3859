#include "tags/read/trailer.h"

#include "platform/fs/fsops.h"
#include "tags/read/cp1252.h"
#include "tags/read/id3v1genres.h"

#include <algorithm>

namespace zentrio {

namespace {

    bool spellsMarker(std::string_view window, std::size_t index)
    {
        auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; };
        return lower(window[index]) == 't' && lower(window[index + 1]) == 'a' && lower(window[index + 2]) == 'g';
    }

    // True when the "TAG" at index is the middle of an APEv2 "APETAGEX".
    bool insideApeSignature(std::string_view window, std::size_t index)
    {
        return index >= 3 && index + 5 <= window.size() && window.substr(index - 3, 8) == "APETAGEX";
    }

} // namespace

std::optional<TrailerWindow> readTrailerWindow(const std::string& path)
{
    auto tail = fs::readTail(path, kWindowSize, 1);
    if (!tail)
        return std::nullopt;
    return TrailerWindow { std::move(tail->bytes), tail->fileLength };
}

QString trimSpaces(const QString& text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && text.at(begin) == u' ')
        ++begin;
    while (end > begin && text.at(end - 1) == u' ')
        --end;
    return text.mid(begin, end - begin);
}

int findMarker(std::string_view window)
{
    if (window.size() < 3)
        return 0;
    const std::size_t standard = kStandardMarkerPosition - 1;
    if (standard + 3 <= window.size() && spellsMarker(window, standard))
        return kStandardMarkerPosition;
    for (std::size_t i = 0; i + 3 <= window.size(); ++i) {
        if (spellsMarker(window, i) && !insideApeSignature(window, i))
            return static_cast<int>(i + 1);
    }
    return 0;
}

QString fieldAt(std::string_view window, int p, Field field)
{
    const std::size_t start = static_cast<std::size_t>(p - 1 + static_cast<int>(field));
    if (p <= 0 || start >= window.size())
        return {};
    std::string_view run = window.substr(start, kFieldWidth);
    const std::size_t nul = run.find('\0');
    if (nul != std::string_view::npos)
        run = run.substr(0, nul);
    // A blank is one byte in the record's code page: trimmed before decoding.
    const std::size_t first = std::min(run.find_first_not_of(' '), run.size());
    const std::size_t last = run.find_last_not_of(' ');
    return decodeCp1252(run.substr(first, last == std::string_view::npos ? 0 : last - first + 1));
}

TagFields fieldsOf(std::string_view window)
{
    TagFields tag;
    const int p = findMarker(window);
    if (p == 0)
        return tag;
    tag.found = true;
    tag.song = fieldAt(window, p, Field::Song);
    tag.artist = fieldAt(window, p, Field::Artist);
    tag.album = fieldAt(window, p, Field::Album);
    return tag;
}

void splitNumberPair(const QString& text, QString& number, QString& total)
{
    const qsizetype slash = text.indexOf(u'/');
    number = text.left(slash).trimmed();
    total = slash < 0 ? QString() : text.mid(slash + 1).trimmed();
}

void addRecordExtras(TagFields& tag, std::string_view bytes, int p)
{
    const auto at = [&](int offset) -> int {
        const std::size_t index = static_cast<std::size_t>(p - 1 + offset);
        return p > 0 && index < bytes.size() ? static_cast<unsigned char>(bytes[index]) : -1;
    };
    char year[4];
    int digits = 0;
    for (; digits < 4 && at(93 + digits) >= '0' && at(93 + digits) <= '9'; ++digits)
        year[digits] = static_cast<char>(at(93 + digits));
    if (digits == 4)
        tag.year = QString::fromLatin1(year, 4);
    if (at(125) == 0 && at(126) > 0)
        tag.track = QString::number(at(126));
    if (at(127) >= 0)
        tag.genre = id3v1GenreName(at(127));
}

std::optional<TagFields> readTag(const std::string& path)
{
    const auto window = readTrailerWindow(path);
    if (!window)
        return std::nullopt;
    return fieldsOf(window->bytes);
}

} // namespace zentrio
