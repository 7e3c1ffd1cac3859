#include "tags/fromnamewindow.h"

#include "app/buttonrow.h"
#include "app/interfacetexts.h"
#include "platform/filenames.h"
#include "rename/ownpatternwindow.h"
#include "rename/pattern.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace zentrio {

namespace {

    // The table's columns after the file name, and the field each shows.
    constexpr std::pair<TagField, const char*> kColumns[] = { { TagField::Song, "song" }, { TagField::Artist, "artist" },
        { TagField::Album, "album" }, { TagField::Track, "track" }, { TagField::Disc, "disc" }, { TagField::Year, "year" },
        { TagField::Genre, "genre" }, { TagField::AlbumArtist, "albumartist" } };

    std::optional<TagField> tagFieldOf(PatternField field)
    {
        switch (field) {
        case PatternField::Song:
            return TagField::Song;
        case PatternField::Artist:
            return TagField::Artist;
        case PatternField::Album:
            return TagField::Album;
        case PatternField::Track:
            return TagField::Track;
        case PatternField::Disc:
            return TagField::Disc;
        case PatternField::Year:
            return TagField::Year;
        case PatternField::Genre:
            return TagField::Genre;
        case PatternField::AlbumArtist:
            return TagField::AlbumArtist;
        default:
            return std::nullopt; // matched, but no tag field: {n}, {tracks}, {discs}, {ignore}
        }
    }

    QString withoutMp3(const std::string& name)
    {
        const QString shown = nameForDisplay(name);
        return hasMp3Suffix(name) ? shown.chopped(4) : shown;
    }

} // namespace

FromNameWindow::FromNameWindow(
    std::vector<std::string> names, bool id3v2, const InterfaceTexts& texts, Apply apply, QWidget* parent)
    : QDialog(parent)
    , m_names(std::move(names))
    , m_id3v2(id3v2)
    , m_texts(texts)
{
    setObjectName(QStringLiteral("fromNameWindow"));
    setWindowTitle(texts.message(QStringLiteral("ntitle")));
    setAttribute(Qt::WA_DeleteOnClose);

    auto* patternLabel = new QLabel(texts.message(QStringLiteral("opattern")), this);
    patternBox = new QLineEdit(QStringLiteral("{track} - {artist} - {song}"), this);
    patternBox->setObjectName(QStringLiteral("namePattern"));
    patternLabel->setBuddy(patternBox);
    patternBox->setAccessibleName(patternLabel->text());
    underscores = new QCheckBox(texts.message(QStringLiteral("nunderscore")), this);
    underscores->setObjectName(QStringLiteral("underscores"));
    note = new QLabel(this);
    note->setWordWrap(true);
    rows = new QTreeWidget(this);
    rows->setObjectName(QStringLiteral("nameMatches"));
    rows->setRootIsDecorated(false);
    rows->setUniformRowHeights(true);
    rows->setAccessibleName(texts.message(QStringLiteral("ntitle")));
    QStringList headers { texts.message(QStringLiteral("pold")) };
    for (const auto& [field, name] : kColumns)
        headers << QString::fromLatin1(name);
    rows->setHeaderLabels(headers);
    rows->setColumnWidth(0, 240);
    for (int column = 1; column <= static_cast<int>(std::size(kColumns)); ++column) {
        const TagField field = kColumns[column - 1].first;
        const bool number = field == TagField::Track || field == TagField::Disc || field == TagField::Year;
        rows->setColumnWidth(column, number ? 45 : 115);
    }
    applyButton = new QPushButton(texts.message(QStringLiteral("napply")), this);
    closeButton = new QPushButton(texts.message(QStringLiteral("pclose")), this);

    auto* patternRow = new QHBoxLayout;
    patternRow->addWidget(patternLabel);
    patternRow->addWidget(patternBox, 1);
    patternRow->addWidget(underscores);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(patternRow);
    layout->addWidget(note);
    layout->addWidget(rows);
    layout->addLayout(buttonRow({ applyButton, closeButton }));
    resize(960, 460);

    connect(patternBox, &QLineEdit::textChanged, this, &FromNameWindow::refresh);
    connect(underscores, &QCheckBox::toggled, this, &FromNameWindow::refresh);
    connect(closeButton, &QPushButton::clicked, this, &QDialog::close);
    connect(applyButton, &QPushButton::clicked, this, [this, apply = std::move(apply)] {
        std::vector<std::pair<std::string, TagValues>> files;
        int unmatched = 0;
        const auto matched = matches();
        for (std::size_t i = 0; i < m_names.size(); ++i) {
            if (matched[i])
                files.emplace_back(m_names[i], *matched[i]);
            else
                ++unmatched;
        }
        close();
        apply(files, unmatched);
    });
    refresh();
}

std::vector<std::optional<TagValues>> FromNameWindow::matches() const
{
    const ParsedPattern parsed = parsePattern(patternBox->text(), PatternUse::Matching);
    std::vector<std::optional<TagValues>> result(m_names.size());
    if (!parsed.ok())
        return result;
    for (std::size_t i = 0; i < m_names.size(); ++i) {
        const auto fields = matchPattern(parsed.parts, withoutMp3(m_names[i]), underscores->isChecked());
        if (!fields)
            continue;
        TagValues values;
        for (const auto& [field, value] : *fields) {
            const auto tagField = tagFieldOf(field);
            if (tagField && (m_id3v2 || id3v1Holds(*tagField)))
                values[*tagField] = value;
        }
        result[i] = std::move(values);
    }
    return result;
}

// The table and the note for the pattern as typed.
void FromNameWindow::refresh()
{
    const ParsedPattern parsed = parsePattern(patternBox->text(), PatternUse::Matching);
    QString noteText = m_id3v2 ? QString() : m_texts.message(QStringLiteral("nid3v1only"));
    if (parsed.error)
        noteText = OwnPatternWindow::errorText(*parsed.error, m_texts);
    note->setText(noteText);
    note->setVisible(!noteText.isEmpty());
    applyButton->setEnabled(parsed.ok());

    const auto matched = matches();
    QList<QTreeWidgetItem*> items;
    for (std::size_t i = 0; i < m_names.size(); ++i) {
        QStringList cells { nameForDisplay(m_names[i]) };
        if (!matched[i]) {
            cells << m_texts.message(QStringLiteral("nnomatch"));
        } else {
            for (const auto& [field, name] : kColumns) {
                const auto value = matched[i]->find(field);
                cells << (value == matched[i]->end() ? QString() : value->second);
            }
        }
        items << new QTreeWidgetItem(cells);
    }
    rows->clear();
    rows->addTopLevelItems(items);
}

} // namespace zentrio
