#include "testsupport/mp3fixture.h"

#include <algorithm>
#include <dirent.h>
#include <fstream>
#include <iterator>
#include <sys/stat.h>

namespace testsupport {

namespace {

    QByteArray padded(const QByteArray& text, char pad) { return text.left(30) + QByteArray(30 - qMin<qsizetype>(30, text.size()), pad); }

}

QByteArray id3v1(const QByteArray& song, const QByteArray& artist, const QByteArray& album, char pad,
    const QByteArray& marker)
{
    QByteArray record = marker.left(3);
    record += padded(song, pad);
    record += padded(artist, pad);
    record += padded(album, pad);
    record += "2001";
    record += QByteArray(30, ' ');
    record += char(12);
    return record;
}

QByteArray audio(int size)
{
    QByteArray bytes(size, '\0');
    for (int i = 0; i < size; ++i)
        bytes[i] = static_cast<char>(0xFF - (i % 7)); // 0xFF..0xF9: no letters at all
    return bytes;
}

std::string writeFile(const std::string& folder, const std::string& name, const QByteArray& bytes)
{
    const std::string path = folder + "/" + name;
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.constData(), bytes.size());
    return path;
}

std::string writeTagged(const std::string& folder, const std::string& name, const QByteArray& song,
    const QByteArray& artist, const QByteArray& album)
{
    return writeFile(folder, name, audio(300) + id3v1(song, artist, album));
}

QByteArray readFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    const std::string content((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    return QByteArray::fromStdString(content);
}

std::vector<std::string> everyEntry(const std::string& folder)
{
    std::vector<std::string> names;
    DIR* dir = opendir(folder.c_str());
    while (const dirent* e = dir ? readdir(dir) : nullptr) {
        const std::string name = e->d_name;
        if (name != "." && name != "..")
            names.push_back(name);
    }
    if (dir)
        closedir(dir);
    std::sort(names.begin(), names.end());
    return names;
}

bool exists(const std::string& path)
{
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0;
}

} // namespace testsupport
