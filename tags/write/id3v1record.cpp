#include "tags/write/id3v1record.h"

#include "tags/read/cp1252.h"
#include "tags/read/fixedwidth.h"
#include "tags/read/trailer.h"
#include "tags/taglib/taglibmodule.h"

namespace zentrio {

namespace {

    constexpr std::size_t kYear = 93;
    constexpr std::size_t kTrackZero = 125;
    constexpr std::size_t kTrack = 126;
    constexpr std::size_t kGenre = 127;

    QByteArray fittedField(const QString& text)
    {
        QByteArray bytes = encodeCp1252(fittedToWidth(text, kFieldWidth));
        // A character outside the Basic Multilingual Plane counts two in the
        // text but encodes to one "?": keep the field at exactly 30 bytes.
        bytes = bytes.left(kFieldWidth);
        return bytes + QByteArray(kFieldWidth - bytes.size(), ' ');
    }

    bool isDigits(const QString& text, qsizetype count)
    {
        if (text.size() < count)
            return false;
        for (qsizetype i = 0; i < count; ++i) {
            if (!text.at(i).isDigit() || text.at(i).unicode() > '9')
                return false;
        }
        return true;
    }

    // The comment's last two bytes are free for a track when they are
    // blanks or zeros, or hold an ID3v1.1 track already.
    bool trackFits(const std::string& record)
    {
        const auto free = [](char c) { return c == ' ' || c == '\0'; };
        return record[kTrackZero] == '\0' || (free(record[kTrackZero]) && free(record[kTrack]));
    }

} // namespace

bool id3v1Holds(TagField field)
{
    return field == TagField::Song || field == TagField::Artist || field == TagField::Album;
}

QByteArray buildTagRecord(const TagEdit& edit, int year)
{
    QByteArray record("TAG");
    record += fittedField(edit.song);
    record += fittedField(edit.artist);
    record += fittedField(edit.album);
    record += QString::number(year).rightJustified(4, u'0').right(4).toLatin1();
    record += QByteArray(30, ' ');
    record += char(12);
    return record;
}

namespace {

    bool isRecordTrack(const QString& value)
    {
        bool number = false;
        const int track = value.section(u'/', 0, 0).trimmed().toInt(&number);
        return number && track >= 1 && track <= 255;
    }

} // namespace

QString recordCannotHold(TagField field, const QString& value)
{
    switch (field) {
    case TagField::Song:
    case TagField::Artist:
    case TagField::Album:
        return {};
    case TagField::Year:
        return value.size() == 4 && isDigits(value, 4) ? QString() : QStringLiteral("a year of four digits");
    case TagField::Track:
        return isRecordTrack(value) ? QString() : QStringLiteral("a track from 1 to 255");
    case TagField::Genre: {
        const int genre = taglib().id3v1GenreIndex(value);
        return genre >= 0 && genre < 255 ? QString() : QStringLiteral("a genre of the ID3v1 list, by its name");
    }
    case TagField::Disc:
    case TagField::AlbumArtist:
        break;
    }
    return QStringLiteral("no disc and no album artist");
}

std::string recordWithValues(std::string record, const TagValues& values)
{
    record.replace(0, 3, "TAG"); // readers that want the marker in capitals find it
    for (const auto& [field, value] : values) {
        switch (field) {
        case TagField::Song:
        case TagField::Artist:
        case TagField::Album: {
            const int at = static_cast<int>(field == TagField::Song ? Field::Song
                    : field == TagField::Artist                      ? Field::Artist
                                                                     : Field::Album);
            record.replace(static_cast<std::size_t>(at), kFieldWidth, fittedField(value).toStdString());
            break;
        }
        case TagField::Year:
            if (isDigits(value, 4))
                record.replace(kYear, 4, value.left(4).toStdString());
            break;
        case TagField::Track:
            if (isRecordTrack(value) && trackFits(record)) {
                record[kTrackZero] = '\0';
                record[kTrack] = static_cast<char>(value.section(u'/', 0, 0).trimmed().toInt());
            }
            break;
        case TagField::Genre: {
            const int genre = taglib().id3v1GenreIndex(value);
            if (genre >= 0 && genre < 255)
                record[kGenre] = static_cast<char>(genre);
            break;
        }
        case TagField::Disc:
        case TagField::AlbumArtist:
            break; // the record has no place for them
        }
    }
    return record;
}

} // namespace zentrio
