#include "rename/library/planfile.h"

#include "platform/fs/filenames.h"
#include "platform/fs/jsonpath.h"
#include "rename/moves/conflictpolicy.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <charconv>

namespace zentrio {

namespace {

constexpr int kVersion = 2; // 1 kept no roots, so its moves cannot be checked against them

std::optional<std::string> pathOf(const QJsonObject& object, const QString& key)
{
    std::string path;
    if (const QJsonValue hex = object.value(key + "_hex"); hex.isString())
        path = QByteArray::fromHex(hex.toString().toLatin1()).toStdString();
    else if (const QJsonValue text = object.value(key); text.isString())
        path = text.toString().toStdString();
    if (path.empty() || path.front() != '/' || path.find('\0') != std::string::npos)
        return std::nullopt;
    return path; // whether it is plain and below the roots is checked before the plan is run
}

template <typename Number> std::optional<Number> numberOf(const QJsonObject& object, const QString& key)
{
    const std::string text = object.value(key).toString().toStdString();
    Number value {};
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    return value;
}

QString number(auto value)
{
    return QString::number(value);
}

const char* fsWord(FsChoice choice)
{
    switch (choice) {
    case FsChoice::Fat:
        return "fat";
    case FsChoice::Posix:
        return "posix";
    case FsChoice::Auto:
        break;
    }
    return "auto";
}

std::optional<PlannedFile> fileOf(const QJsonObject& object)
{
    auto from = pathOf(object, "from");
    auto to = pathOf(object, "to");
    const auto device = numberOf<std::uint64_t>(object, "device");
    const auto inode = numberOf<std::uint64_t>(object, "inode");
    const auto size = numberOf<std::int64_t>(object, "size");
    const auto modified = numberOf<std::int64_t>(object, "modified");
    const auto birth = numberOf<std::int64_t>(object, "birth");
    if (!from || !to || !device || !inode || !size || !modified || !birth || *from == *to)
        return std::nullopt;
    PlannedFile file { std::move(*from), std::move(*to) };
    file.identity = { *device, *inode, *size, *birth, *modified };
    file.carried = object.value("carried").toBool();
    if (object.contains("named") || object.contains("named_hex")) {
        auto named = pathOf(object, "named");
        if (!named || !isNumberedFrom(file.to, *named))
            return std::nullopt; // a number from any other name would let a plan give names rename never gives
        file.named = std::move(*named);
    }
    const auto slash = [](const std::string& path) { return path.substr(0, path.rfind('/')); };
    file.status = slash(file.from) == slash(file.to) ? FileStatus::Renamed : FileStatus::Moved;
    return file;
}

} // namespace

QByteArray planToJson(const LibraryPlan& plan)
{
    QJsonArray moves;
    for (const PlannedFile& file : plan.files) {
        if (!file.moves())
            continue;
        QJsonObject move;
        putPath(move, "from", file.from);
        putPath(move, "to", file.to);
        if (!file.named.empty())
            putPath(move, "named", file.named); // what a number put to it again starts from
        move.insert("device", number(file.identity.device));
        move.insert("inode", number(file.identity.inode));
        move.insert("size", number(file.identity.size));
        move.insert("modified", number(file.identity.modified));
        move.insert("birth", number(file.identity.birth));
        move.insert("carried", file.carried);
        moves.append(move);
    }
    QJsonArray roots;
    for (const std::string& folder : plan.roots) {
        QJsonObject entry;
        putPath(entry, "path", folder);
        roots.append(entry);
    }
    QJsonObject root { { "zentrio_plan", kVersion }, { "roots", roots }, { "moves", moves },
        { "fs", QLatin1String(fsWord(plan.fsChoice)) } };
    if (!plan.to.empty()) {
        QJsonObject to;
        putPath(to, "path", plan.to);
        root.insert("to", to);
    }
    return QJsonDocument(root).toJson(QJsonDocument::Indented);
}

std::optional<SavedPlan> planFromJson(const QByteArray& json, std::string& error)
{
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(json, &parseError);
    if (document.isNull()) {
        error = "not JSON: " + parseError.errorString().toStdString();
        return std::nullopt;
    }
    const QJsonObject root = document.object();
    if (root.value("zentrio_plan").toInt() == 1) {
        error = "a plan of an earlier version of zentrio-cli: make it again with rename --plan-out";
        return std::nullopt;
    }
    if (root.value("zentrio_plan").toInt() != kVersion || !root.value("moves").isArray()
        || !root.value("roots").isArray()) {
        error = "not a zentrio-cli plan";
        return std::nullopt;
    }
    SavedPlan plan;
    for (const QJsonValue& value : root.value("roots").toArray()) {
        auto path = pathOf(value.toObject(), "path");
        if (!path) {
            error = "a folder of the plan cannot be read";
            return std::nullopt;
        }
        plan.roots.push_back(std::move(*path));
    }
    if (root.contains("to")) {
        auto to = pathOf(root.value("to").toObject(), "path");
        if (!to) {
            error = "the plan's --to folder cannot be read";
            return std::nullopt;
        }
        plan.to = std::move(*to);
    }
    const QString fsText = root.value("fs").toString();
    plan.fsChoice = fsText == u"fat" ? FsChoice::Fat : fsText == u"posix" ? FsChoice::Posix : FsChoice::Auto;
    for (const QJsonValue& value : root.value("moves").toArray()) {
        auto file = fileOf(value.toObject());
        if (!file) {
            error = "a move of the plan cannot be read";
            return std::nullopt;
        }
        plan.files.push_back(std::move(*file));
    }
    return plan;
}

} // namespace zentrio
