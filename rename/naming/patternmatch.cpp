// Matching a file name against a pattern in time bounded by the pattern's
// length times the name's: a table says, for every step of the pattern and
// every place in the name, whether the rest of the pattern can match from
// there; the match then walks forward and takes, at each step, the first
// choice in order of preference that the table allows. That is the match a
// backtracking search trying the same choices in the same order would find.
#include "rename/naming/pattern.h"

#include "platform/fs/filenames.h"
#include "tags/read/audiofile.h"
#include "tags/read/cp1252.h"

#include <QByteArrayView>

namespace zentrio {

namespace {

    bool takesDigits(PatternField field) { return isNumberField(field) || field == PatternField::Year; }

    // One step of the pattern laid out flat. An optional part is a step that
    // either enters its contents or jumps past them; its contents run on into
    // what follows it, so whether the rest matches depends only on the step
    // and the place in the name, never on how they were reached.
    struct Step {
        PatternPart::Kind kind = PatternPart::Kind::Literal;
        QString text; // a literal's text
        PatternField field = PatternField::Song;
        std::size_t pastEnd = 0; // an optional part: the step after its contents
    };

    // The parts as steps, walked with a stack of the optional parts open at
    // the moment rather than by recursion.
    std::vector<Step> stepsOf(const std::vector<PatternPart>& parts, bool underscoreIsBlank)
    {
        struct Open {
            const std::vector<PatternPart>* parts;
            std::size_t next;
            std::size_t step; // the optional part's own step
        };
        std::vector<Step> steps;
        std::vector<Open> open { { &parts, 0, 0 } };
        while (!open.empty()) {
            Open& innermost = open.back();
            if (innermost.next == innermost.parts->size()) {
                if (open.size() > 1)
                    steps[innermost.step].pastEnd = steps.size();
                open.pop_back();
                continue;
            }
            const PatternPart& part = (*innermost.parts)[innermost.next++];
            Step step { part.kind };
            if (part.kind == PatternPart::Kind::Literal) {
                step.text = part.text;
                if (underscoreIsBlank)
                    step.text.replace(u'_', u' ');
            }
            step.field = part.field;
            steps.push_back(std::move(step));
            if (part.kind == PatternPart::Kind::Optional)
                open.push_back({ &part.parts, 0, steps.size() - 1 });
        }
        return steps;
    }

    class Matcher {
    public:
        Matcher(const std::vector<Step>& steps, const QString& name)
            : m_steps(steps)
            , m_name(name)
            , m_width(static_cast<std::size_t>(name.size()) + 1)
            , m_matches((steps.size() + 1) * m_width, 0)
            , m_digitsEnd(m_width)
        {
            const auto size = static_cast<std::size_t>(name.size());
            m_digitsEnd[size] = size;
            for (std::size_t at = size; at-- > 0;)
                m_digitsEnd[at] = name.at(static_cast<qsizetype>(at)).isDigit() ? m_digitsEnd[at + 1] : at;
            row(steps.size())[size] = 1;
            for (std::size_t i = steps.size(); i-- > 0;)
                fillRow(i);
        }

        std::optional<MatchedFields> walk() const
        {
            if (!row(0)[0])
                return std::nullopt;
            MatchedFields fields;
            std::size_t at = 0;
            std::size_t i = 0;
            while (i < m_steps.size()) {
                const Step& step = m_steps[i];
                switch (step.kind) {
                case PatternPart::Kind::Literal:
                    at += static_cast<std::size_t>(step.text.size());
                    ++i;
                    break;
                case PatternPart::Kind::Optional:
                    i = row(i + 1)[at] ? i + 1 : step.pastEnd;
                    break;
                case PatternPart::Kind::Field: {
                    const std::size_t end = fieldEnd(i, at);
                    if (step.field != PatternField::Ignore) {
                        const auto from = static_cast<qsizetype>(at);
                        fields.emplace_back(step.field, m_name.mid(from, static_cast<qsizetype>(end) - from).trimmed());
                    }
                    at = end;
                    ++i;
                    break;
                }
                }
            }
            return fields;
        }

    private:
        // Whether the steps from `i` on match the name from each place.
        unsigned char* row(std::size_t i) { return m_matches.data() + i * m_width; }
        const unsigned char* row(std::size_t i) const { return m_matches.data() + i * m_width; }

        void fillRow(std::size_t i)
        {
            const Step& step = m_steps[i];
            const unsigned char* next = row(i + 1);
            unsigned char* here = row(i);
            const std::size_t last = m_width - 1; // the name's end
            switch (step.kind) {
            case PatternPart::Kind::Literal: {
                const auto length = static_cast<std::size_t>(step.text.size());
                for (std::size_t at = 0; at + length <= last; ++at)
                    here[at] = next[at + length]
                        && QStringView(m_name).mid(static_cast<qsizetype>(at), step.text.size()) == step.text;
                return;
            }
            case PatternPart::Kind::Optional: {
                const unsigned char* past = row(step.pastEnd);
                for (std::size_t at = 0; at <= last; ++at)
                    here[at] = next[at] || past[at];
                return;
            }
            case PatternPart::Kind::Field:
                break;
            }
            if (takesDigits(step.field)) {
                // here[at]: some end in (at, the end of the digits from at] matches on
                std::vector<std::size_t> before(m_width + 1, 0); // matching ends before each place
                for (std::size_t e = 0; e <= last; ++e)
                    before[e + 1] = before[e] + next[e];
                for (std::size_t at = 0; at <= last; ++at)
                    here[at] = m_digitsEnd[at] > at && before[m_digitsEnd[at] + 1] > before[at + 1];
                return;
            }
            // here[at]: some end after at matches on
            bool later = false;
            for (std::size_t at = last; at-- > 0;) {
                later = later || next[at + 1];
                here[at] = later;
            }
        }

        // Where the field of step i that begins at `at` ends: a number takes
        // the longest run of digits, a text the shortest stretch, that lets
        // the rest match.
        std::size_t fieldEnd(std::size_t i, std::size_t at) const
        {
            const unsigned char* next = row(i + 1);
            if (takesDigits(m_steps[i].field)) {
                std::size_t end = m_digitsEnd[at];
                while (!next[end])
                    --end;
                return end;
            }
            std::size_t end = at + 1;
            while (!next[end])
                ++end;
            return end;
        }

        const std::vector<Step>& m_steps;
        const QString& m_name;
        std::size_t m_width;
        std::vector<unsigned char> m_matches; // (steps + 1) rows of (name length + 1) places
        std::vector<std::size_t> m_digitsEnd; // for each place, where the run of digits from it ends
    };

} // namespace

std::optional<MatchedFields> matchPattern(
    const std::vector<PatternPart>& parts, const QString& name, bool underscoreIsBlank)
{
    if (parts.empty())
        return std::nullopt;
    QString text = name;
    if (underscoreIsBlank)
        text.replace(u'_', u' ');
    const std::vector<Step> steps = stepsOf(parts, underscoreIsBlank);
    return Matcher(steps, text).walk();
}

std::optional<MatchedFields> matchFileName(
    const std::vector<PatternPart>& parts, std::string_view name, bool underscoreIsBlank)
{
    name.remove_suffix(ownAudioExtension(name).size());
    const QByteArrayView bytes(name.data(), static_cast<qsizetype>(name.size()));
    const QString text = bytes.isValidUtf8() ? QString::fromUtf8(bytes) : decodeCp1252(name);
    return matchPattern(parts, text, underscoreIsBlank);
}

} // namespace zentrio
