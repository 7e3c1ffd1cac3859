#include "platform/fs/filenames.h"

#include <algorithm>

namespace zentrio {

namespace {

    constexpr char16_t kEscapeBase = 0xDC00;

    // Length of the valid UTF-8 sequence starting at i, or 0 when invalid.
    int validSequenceLength(std::string_view s, size_t i)
    {
        const auto b = [&](size_t k) { return static_cast<unsigned char>(s[k]); };
        const unsigned char c = b(i);
        if (c < 0x80)
            return 1;
        int len = 0;
        char32_t cp = 0;
        char32_t min = 0;
        if ((c & 0xE0) == 0xC0) {
            len = 2, cp = c & 0x1F, min = 0x80;
        } else if ((c & 0xF0) == 0xE0) {
            len = 3, cp = c & 0x0F, min = 0x800;
        } else if ((c & 0xF8) == 0xF0) {
            len = 4, cp = c & 0x07, min = 0x10000;
        } else {
            return 0;
        }
        if (i + len > s.size())
            return 0;
        for (int k = 1; k < len; ++k) {
            if ((b(i + k) & 0xC0) != 0x80)
                return 0;
            cp = (cp << 6) | (b(i + k) & 0x3F);
        }
        if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
            return 0;
        return len;
    }

    QString decode(std::string_view bytes, bool forDisplay)
    {
        QString out;
        out.reserve(static_cast<qsizetype>(bytes.size()));
        size_t i = 0;
        while (i < bytes.size()) {
            const int len = validSequenceLength(bytes, i);
            if (len == 0) {
                const auto byte = static_cast<unsigned char>(bytes[i]);
                out.append(forDisplay ? QChar(0xFFFD) : QChar(char16_t(kEscapeBase + byte)));
                ++i;
                continue;
            }
            out.append(QString::fromUtf8(bytes.data() + i, len));
            i += static_cast<size_t>(len);
        }
        return out;
    }

} // namespace

QString nameToText(std::string_view bytes) { return decode(bytes, false); }

bool isValidUtf8(std::string_view bytes)
{
    for (size_t i = 0; i < bytes.size();) {
        const int len = validSequenceLength(bytes, i);
        if (len == 0)
            return false;
        i += static_cast<size_t>(len);
    }
    return true;
}

QString nameForDisplay(std::string_view bytes) { return decode(bytes, true); }

std::string textToName(const QString& text)
{
    // Most names are ASCII: their bytes are their units.
    const char16_t* units = reinterpret_cast<const char16_t*>(text.utf16());
    if (std::all_of(units, units + text.size(), [](char16_t c) { return c < 0x80; })) {
        std::string ascii(static_cast<size_t>(text.size()), '\0');
        std::transform(units, units + text.size(), ascii.begin(), [](char16_t c) { return static_cast<char>(c); });
        return ascii;
    }
    std::string out;
    out.reserve(static_cast<size_t>(text.size()));
    const char16_t* p = reinterpret_cast<const char16_t*>(text.utf16());
    const qsizetype n = text.size();
    qsizetype start = 0;
    auto flush = [&](qsizetype end) {
        if (end > start)
            out += QStringView(p + start, end - start).toUtf8().toStdString();
    };
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t c = p[i];
        const bool lowSurrogate = c >= 0xDC00 && c <= 0xDFFF;
        const bool paired = lowSurrogate && i > 0 && p[i - 1] >= 0xD800 && p[i - 1] <= 0xDBFF;
        if (lowSurrogate && !paired && c >= 0xDC80 && c <= 0xDCFF) {
            flush(i);
            out.push_back(static_cast<char>(c - kEscapeBase));
            start = i + 1;
        }
    }
    flush(n);
    return out;
}

std::string folderPath(const std::string& folder)
{
    if (!folder.empty() && folder.back() == '/')
        return folder;
    return folder + '/';
}

std::string joinPath(const std::string& folder, const std::string& name)
{
    std::string path;
    path.reserve(folder.size() + 1 + name.size());
    path += folder;
    if (path.empty() || path.back() != '/')
        path += '/';
    path += name;
    return path;
}

std::string parentOf(std::string_view path)
{
    const auto slash = path.rfind('/');
    if (slash == std::string_view::npos)
        return ".";
    return slash == 0 ? "/" : std::string(path.substr(0, slash));
}

std::string baseOf(std::string_view path)
{
    return std::string(path.substr(path.rfind('/') + 1));
}

bool isPlainAbsolutePath(std::string_view path)
{
    if (path.empty() || path.front() != '/' || path.find('\0') != std::string_view::npos)
        return false;
    if (path == "/")
        return true;
    for (std::size_t start = 1; start <= path.size();) {
        const std::size_t slash = std::min(path.find('/', start), path.size());
        const std::string_view part = path.substr(start, slash - start);
        if (part.empty() || part == "." || part == "..")
            return false;
        start = slash + 1;
    }
    return true;
}

std::string caselessKey(std::string_view path)
{
    std::string key(path);
    bool ascii = true;
    for (char& c : key) {
        if (static_cast<unsigned char>(c) >= 0x80)
            ascii = false;
        else if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    }
    return ascii ? key : textToName(nameToText(path).toUpper().toCaseFolded());
}

bool isAsciiName(std::string_view bytes)
{
    return std::all_of(bytes.begin(), bytes.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

std::string composedKey(std::string_view path)
{
    if (isAsciiName(path) || !isValidUtf8(path))
        return std::string(path);
    return textToName(nameToText(path).normalized(QString::NormalizationForm_C));
}

bool hasMp3Suffix(std::string_view name)
{
    if (name.size() < 4)
        return false;
    static constexpr char kSuffix[] = ".mp3";
    const std::string_view tail = name.substr(name.size() - 4);
    for (size_t i = 0; i < 4; ++i) {
        char c = tail[i];
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
        if (c != kSuffix[i])
            return false;
    }
    return true;
}

} // namespace zentrio
