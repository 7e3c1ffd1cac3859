// Makes a small demo music folder that shows what Zentrio does: accented
// Hungarian letters, "AC/DC" and "Rock & Roll", two files that compose the
// same name, an untagged file, long titles, and files that carry only an
// ID3v2 tag. Each file is about a second of silent MP3 audio, so a player
// plays it.
//
//   zentrio_demo FOLDER      (the folder is made; files in it are replaced)

#include "tags/write/tagsave.h"

#include <QDir>
#include <QString>

#include <taglib/id3v2tag.h>

#include <cstdio>
#include <fstream>
#include <string>

namespace {

// 38 MPEG-1 Layer III frames (128 kbit/s, 44.1 kHz) of silence: a header,
// then zeros, which decode to no sound.
std::string silence()
{
    std::string frame(417, '\0');
    frame[0] = '\xFF';
    frame[1] = '\xFB';
    frame[2] = '\x90';
    std::string audio;
    for (int i = 0; i < 38; ++i)
        audio += frame;
    return audio;
}

std::string id3v1(const char* song, const char* artist, const char* album)
{
    const zentrio::TagEdit edit { QString::fromUtf8(song), QString::fromUtf8(artist), QString::fromUtf8(album) };
    return zentrio::buildTagRecord(edit, 2026).toStdString();
}

std::string id3v2Only(const char* song, const char* artist, const char* album)
{
    TagLib::ID3v2::Tag tag;
    tag.setTitle(TagLib::String(song, TagLib::String::UTF8));
    tag.setArtist(TagLib::String(artist, TagLib::String::UTF8));
    tag.setAlbum(TagLib::String(album, TagLib::String::UTF8));
    const TagLib::ByteVector bytes = tag.render(TagLib::ID3v2::v3);
    return std::string(bytes.data(), bytes.size());
}

struct Track {
    const char* file;
    const char* song; // nullptr: no tag at all
    const char* artist;
    const char* album;
    bool id3v2Only = false;
};

constexpr Track kTracks[] = {
    { "track01.mp3", "Tavaszi szél vizet áraszt", "Népdal", "Magyar népdalok" },
    { "track02.mp3", "Szõke Tisza", "Bartók Béla", "Gyermekeknek" },
    { "track03.mp3", "Back in Black", "AC/DC", "Back in Black" },
    { "track04.mp3", "Rock & Roll", "Led Zeppelin", "Led Zeppelin IV" },
    { "track05.mp3", "Yesterday", "The Beatles", "Help!" },
    { "track06.mp3", "Yesterday", "The Beatles", "Help!" },
    { "track07.mp3", nullptr, nullptr, nullptr },
    { "track08.mp3", "A title that fills every place", "Long Names Orchestra", "Thirty characters at the most" },
    { "track09.mp3", "Hold On Loosely", ".38 Special", "Wild-Eyed Southern Boys" },
    { "track10.mp3", "Bohemian Rhapsody", "Queen", "A Night at the Opera" },
    { "track11.mp3", "The Boxer", "Simon & Garfunkel", "Bridge over Troubled Water" },
    { "track12.mp3", "Hotel California", "Eagles", "Hotel California" },
    { "track13.mp3", "Dancing Queen", "ABBA", "Arrival" },
    { "track14.mp3", "Zombie", "The Cranberries", "No Need to Argue" },
    { "track15.mp3", "Imagine", "John Lennon", "Imagine" },
    { "track16.mp3", "Kék madár", "Ómega", "Õszi csillag" },
    { "track17.mp3", "Árvíztűrő tükörfúrógép", "Kodály Zoltán", "Ősz és tél", true },
    { "track18.mp3", "Egy nagyon hosszú cím, amely jóval több mint harminc betű, csak az ID3v2 tud ilyet",
        "Bródy János", "Hűség", true },
    { "track19.mp3", "Summer Breeze", "Ünnepi Zenekar", "ID3v2 only", true },
    { "track20.mp3", "Őszi fény", "Zenészek & Barátaik", "Új dalok", true },
};

} // namespace

int main(int argc, char* argv[])
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s FOLDER\n", argv[0]);
        return 2;
    }
    const std::string folder = argv[1];
    if (!QDir().mkpath(QString::fromLocal8Bit(argv[1]))) {
        std::fprintf(stderr, "cannot make %s\n", argv[1]);
        return 1;
    }
    const std::string audio = silence();
    for (const Track& t : kTracks) {
        std::ofstream out(folder + "/" + t.file, std::ios::binary | std::ios::trunc);
        if (t.song && t.id3v2Only)
            out << id3v2Only(t.song, t.artist, t.album) << audio;
        else
            out << audio << (t.song ? id3v1(t.song, t.artist, t.album) : std::string());
        if (!out) {
            std::fprintf(stderr, "cannot write %s/%s\n", argv[1], t.file);
            return 1;
        }
    }
    std::printf("%zu demo files in %s\n", std::size(kTracks), argv[1]);
    return 0;
}
