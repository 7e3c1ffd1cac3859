#pragma once

#include <QString>

#include <span>

// The texts a pattern's fault is said in, by key, with their English. The
// core owns them, so the command line says a fault without the window; the
// window's interface texts take these keys among their own, so a language
// pack translates them as before.
namespace zentrio {

struct PatternText {
    const char* key;
    const char* english;
};

// "opatternerror" ("... at character %1: %2") and one text per reason.
std::span<const PatternText> patternTexts();

// The English text of a key of patternTexts(); empty for any other key.
QString englishPatternText(const QString& key);

} // namespace zentrio
