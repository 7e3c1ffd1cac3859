#include "tags/read/audiospan.h"
#include "testsupport/formatfixture.h"
#include "testsupport/id3v2fixture.h"
#include "testsupport/mp3fixture.h"

#include <QTest>

using namespace zentrio;

namespace {

QByteArray be32(quint32 value)
{
    return QByteArray(1, char(value >> 24)) + char(value >> 16) + char(value >> 8) + char(value);
}

QByteArray atom(const char* type, const QByteArray& body) { return be32(quint32(body.size() + 8)) + type + body; }

SpanReadAt readsOf(const QByteArray& bytes)
{
    return [&bytes](std::int64_t offset, std::size_t count) -> std::optional<std::string> {
        if (offset < 0 || offset + qsizetype(count) > bytes.size())
            return std::nullopt;
        return bytes.mid(offset, qsizetype(count)).toStdString();
    };
}

} // namespace

// The structures a tagger leaves around the audio that the copies' search
// through the command line does not reach: a wrong span misses copies, or
// calls files of other audio the same.
class AudioSpanTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void spanBetweenTheTags_data();
    void spanBetweenTheTags();
    void descriptionApartFromTheSpan_data();
    void descriptionApartFromTheSpan();
};

void AudioSpanTest::spanBetweenTheTags_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("format");
    QTest::addColumn<int>("length"); // of the span; -1: none
    QTest::addColumn<int>("after"); // bytes after the span
    const QByteArray audio = testsupport::audio(600);
    const QByteArray tag = testsupport::id3v2(3, { { "Song" }, { "Artist" }, { "Album" } });
    const QByteArray record = testsupport::id3v1("Song", "Artist", "Album");
    const int mp3 = int(AudioFormat::Mp3);
    const int mp4 = int(AudioFormat::Mp4);
    QTest::newRow("two ID3v2 tags in a row") << tag + tag + audio << mp3 << 600 << 0;
    QTest::newRow("Lyrics3 v1 before ID3v1")
        << audio + "LYRICSBEGINsome words" + "LYRICSEND" + record << mp3 << 600 << 21 + 9 + 128;
    const QByteArray footer = QByteArray("APETAGEX") + QByteArray("\xD0\x07\0\0\x20\0\0\0", 8) + QByteArray(16, '\0');
    QTest::newRow("an APE footer without a header") << audio + footer << mp3 << 600 << 32;
    QTest::newRow("a WavPack file with APE and ID3v1") << audio + footer + record << int(AudioFormat::WavPack) << 600
                                                       << 32 + 128;
    // An ID3v2.4 tag put at the end: "3DI", the header's version, flags (0x10: a footer) and size.
    const QByteArray frames = QByteArray("TIT2") + QByteArray("\0\0\0\x05\0\0\0Song", 11);
    const QByteArray sizes = QByteArray("\x04\0\x10\0\0\0", 6) + char(frames.size());
    const QByteArray appended = "ID3" + sizes + frames + "3DI" + sizes;
    const QByteArray extended = "TAG+" + QByteArray(223, 'x');
    QTest::newRow("an ID3v2.4 tag with a footer and a TAG+ block at the end")
        << audio + appended + extended + record << mp3 << 600 << int(appended.size() + extended.size() + 128);
    QTest::newRow("audio that ends in a footer's bytes without its tag")
        << audio + "3DI" + sizes << mp3 << 610 << 0;
    QTest::newRow("only tags") << tag + record << mp3 << -1 << 0;
    const QByteArray ftyp = atom("ftyp", "M4A \0\0\0\0");
    QTest::newRow("MP4 mdat to the end of the file")
        << ftyp + atom("moov", {}) + be32(0) + "mdat" + audio << mp4 << 600 << 0;
    QTest::newRow("MP4 mdat with a 64-bit size, moov after it")
        << ftyp + be32(1) + "mdat" + be32(0) + be32(616) + audio + atom("moov", "xx") << mp4 << 600 << 10;
    QTest::newRow("MP4 without mdat") << ftyp + atom("moov", {}) << mp4 << -1 << 0;
    QTest::newRow("AIFF with an odd chunk before SSND")
        << QByteArray("FORM") + be32(0) + "AIFF" + "COMM" + be32(3) + "abc" + '\0' + "SSND" + be32(600) + audio
        << int(AudioFormat::Aiff) << 600 << 0;
    QTest::newRow("WAV without a data chunk")
        << QByteArray("RIFF\0\0\0\0WAVEfmt \x04\0\0\0", 20) + "abcd" << int(AudioFormat::Wav) << -1 << 0;
    QTest::newRow("FLAC with an ID3v1 record")
        << testsupport::untaggedFile("flac", 600) + record << int(AudioFormat::Flac) << 2 + 600 << 128; // a frame's sync
    QTest::newRow("FLAC cut inside its metadata")
        << testsupport::untaggedFile("flac", 0).left(20) << int(AudioFormat::Flac) << -1 << 0;
}

void AudioSpanTest::spanBetweenTheTags()
{
    QFETCH(QByteArray, bytes);
    QFETCH(int, format);
    QFETCH(int, length);
    QFETCH(int, after);
    const SpanReadAt read = [&](std::int64_t offset, std::size_t count) -> std::optional<std::string> {
        if (offset < 0 || offset + qsizetype(count) > bytes.size())
            return std::nullopt;
        return bytes.mid(offset, qsizetype(count)).toStdString();
    };
    const SpanFound found = audioSpanOf(read, bytes.size(), AudioFormat(format));
    QCOMPARE(found.span ? int(found.span->length()) : -1, length);
    if (found.span)
        QCOMPARE(int(bytes.size() - found.span->end), after);
    else
        QVERIFY(!found.reason.empty());
}

// The bytes that say how the span is played, which copies share and the
// same samples at another rate do not: missed, two such files are one.
void AudioSpanTest::descriptionApartFromTheSpan_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("format");
    QTest::addColumn<QByteArray>("described");
    const QByteArray audio = testsupport::audio(600);
    const QByteArray fmt("\x01\0\x02\0\x44\xAC\0\0\x10\xB1\x02\0\x04\0\x10\0", 16);
    QTest::newRow("WAV: its fmt chunk")
        << QByteArray("RIFF\0\0\0\0WAVEfmt \x10\0\0\0", 20) + fmt + "data" + QByteArray("\x58\x02\0\0", 4) + audio
        << int(AudioFormat::Wav) << fmt;
    const QByteArray common("\0\x02\0\0\0\x96\0\x10\x40\x0E\xAC\x44\0\0\0\0\0\0", 18);
    QTest::newRow("AIFF: its COMM chunk after SSND")
        << QByteArray("FORM") + be32(0) + "AIFF" + "SSND" + be32(600) + audio + "COMM" + be32(18) + common
        << int(AudioFormat::Aiff) << common;
    const QByteArray stsd = atom("stsd", be32(0) + be32(1) + atom("mp4a", QByteArray(28, '\x01')));
    const QByteArray track = atom("trak", atom("mdia", atom("minf", atom("stbl", stsd))));
    const QByteArray moov = atom("moov", atom("mvhd", {}) + track);
    QTest::newRow("MP4: its sample descriptions, moov after mdat")
        << atom("ftyp", "M4A \0\0\0\0") + atom("mdat", audio) + moov << int(AudioFormat::Mp4) << stsd;
    QTest::newRow("MP3: none") << audio << int(AudioFormat::Mp3) << QByteArray();
}

void AudioSpanTest::descriptionApartFromTheSpan()
{
    QFETCH(QByteArray, bytes);
    QFETCH(int, format);
    QFETCH(QByteArray, described);
    const SpanFound found = audioSpanOf(readsOf(bytes), bytes.size(), AudioFormat(format));
    QVERIFY2(found.span, found.reason.c_str());
    QCOMPARE(found.span->length(), 600);
    QCOMPARE(QByteArray::fromStdString(found.span->described), described);
}

QTEST_GUILESS_MAIN(AudioSpanTest)
#include "tst_audiospan.moc"
