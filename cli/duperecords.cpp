#include "cli/duperecords.h"

#include "cli/output.h"
#include "platform/fs/digest.h"
#include "platform/fs/jsonpath.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace zentrio::cli {

namespace {

    const TagFields kNoTag;

    std::string heading(const DupeFormat& format, const DupeGroup& group)
    {
        const std::string count = std::to_string(group.files.size()) + " files";
        if (format.kind == DupeKind::Tags)
            return count + ", the same artist, album and song (by tags only: their audio may differ)";
        return count + ", the same audio: " + std::to_string(group.audioBytes) + " bytes, digest "
            + digestText(group.digest);
    }

    QJsonObject fileJson(const DupeFile& file)
    {
        const TagFields& tag = file.tag ? *file.tag : kNoTag;
        QJsonObject object;
        putPath(object, "path", file.path);
        object.insert("size", static_cast<double>(file.identity.size));
        if (const auto format = audioFormatOf(file.path))
            object.insert("format", QLatin1String(formatName(*format)));
        object.insert("artist", tag.artist);
        object.insert("album", tag.album);
        object.insert("song", tag.song);
        return object;
    }

    std::string jsonRecord(const DupeFormat& format, const DupesFound& found, const DupeGroup& group)
    {
        QJsonObject object;
        object.insert("kind", QLatin1String(format.kind == DupeKind::Tags ? "tags" : "audio"));
        object.insert("count", static_cast<int>(group.files.size()));
        if (format.kind == DupeKind::Audio) {
            object.insert("audioBytes", static_cast<double>(group.audioBytes));
            object.insert("digest", QString::fromStdString(digestText(group.digest)));
        }
        QJsonArray files;
        for (const std::size_t i : group.files)
            files.append(fileJson(found.files[i]));
        object.insert("files", files);
        return QJsonDocument(object).toJson(QJsonDocument::Compact).toStdString() + '\n';
    }

} // namespace

std::string groupRecord(const DupeFormat& format, const DupesFound& found, const DupeGroup& group,
    const PathDisplay& display)
{
    if (format.json)
        return jsonRecord(format, found, group);
    std::string block;
    if (format.nul) {
        for (const std::size_t i : group.files)
            block += pathText(display.place(found.files[i].path, found.files[i].argument), recordForm()) + '\0';
        return block + '\0';
    }
    block = heading(format, group) + '\n';
    for (const std::size_t i : group.files) {
        const DupeFile& file = found.files[i];
        const TagFields& tag = file.tag ? *file.tag : kNoTag;
        block += std::to_string(file.identity.size) + '\t'
            + pathText(display.place(file.path, file.argument), recordForm(PathForm::OneLine)) + '\t'
            + fieldText(tag.artist) + '\t' + fieldText(tag.album) + '\t' + fieldText(tag.song) + '\n';
    }
    return block + '\n';
}

} // namespace zentrio::cli
