#include "tags/fromnamewindow.h"

#include "app/buttonrow.h"
#include "app/interfacetexts.h"
#include "platform/fs/filenames.h"
#include "rename/ownpatternwindow.h"
#include "rename/naming/pathmatch.h"
#include "rename/naming/pattern.h"

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

} // namespace

FromNameWindow::FromNameWindow(std::string folder, std::vector<std::string> names, TagSource source,
    const InterfaceTexts& texts, Apply apply, QWidget* parent)
    : QDialog(parent)
    , m_folder(std::move(folder))
    , m_names(std::move(names))
    , m_source(source)
    , m_texts(texts)
{
    setObjectName(QStringLiteral("fromNameWindow"));
    setWindowTitle(texts.message(QStringLiteral("ntitle")));
    setAttribute(Qt::WA_DeleteOnClose);

    files = new QLabel(texts.message(QStringLiteral("nfiles")).arg(m_names.size()).arg(nameForDisplay(m_folder)), this);
    files->setObjectName(QStringLiteral("tagFiles"));
    files->setWordWrap(true);
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
    applyButton->setObjectName(QStringLiteral("tagApply"));
    closeButton = new QPushButton(texts.message(QStringLiteral("pclose")), this);

    auto* patternRow = new QHBoxLayout;
    patternRow->addWidget(patternLabel);
    patternRow->addWidget(patternBox, 1);
    patternRow->addWidget(underscores);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(files);
    layout->addLayout(patternRow);
    layout->addWidget(note);
    layout->addWidget(rows);
    layout->addLayout(buttonRow({ applyButton, closeButton }));
    resize(960, 460);

    connect(patternBox, &QLineEdit::textChanged, this, &FromNameWindow::refresh);
    connect(underscores, &QCheckBox::toggled, this, &FromNameWindow::refresh);
    connect(closeButton, &QPushButton::clicked, this, &QDialog::close);
    connect(applyButton, &QPushButton::clicked, this, [this, apply = std::move(apply)] {
        const TagBatchRequest wanted = request();
        close();
        apply(wanted);
    });
    refresh();
}

void FromNameWindow::setTagSource(TagSource source)
{
    m_source = source;
    refresh();
}

TagBatchRequest FromNameWindow::request() const
{
    TagBatchRequest wanted { m_folder, m_source };
    const auto matched = matches();
    for (std::size_t i = 0; i < m_names.size(); ++i) {
        if (matched[i])
            wanted.files.emplace_back(m_names[i], *matched[i]);
        else
            ++wanted.unmatched;
    }
    return wanted;
}

std::vector<std::optional<TagValues>> FromNameWindow::matches() const
{
    const ParsedPattern parsed = parsePattern(patternBox->text(), PatternUse::Matching);
    std::vector<std::optional<TagValues>> result(m_names.size());
    if (!parsed.ok())
        return result;
    for (std::size_t i = 0; i < m_names.size(); ++i) {
        const auto fields = matchFileName(parsed.parts, m_names[i], underscores->isChecked());
        if (!fields)
            continue;
        TagValues values;
        for (const auto& [field, value] : *fields) {
            const auto tagField = tagFieldOf(field);
            if (tagField && (m_source == TagSource::Id3v2First || id3v1Holds(*tagField)))
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
    QString noteText = m_source == TagSource::Id3v2First ? QString() : m_texts.message(QStringLiteral("nid3v1only"));
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
