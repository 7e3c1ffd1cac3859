#include "tags/setforcheckedwindow.h"

#include "app/buttonrow.h"
#include "app/interfacetexts.h"
#include "platform/fs/filenames.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace zentrio {

SetForCheckedWindow::SetForCheckedWindow(std::string folder, std::vector<std::string> names, TagSource source,
    const InterfaceTexts& texts, std::function<void(const TagBatchRequest&)> apply, QWidget* parent)
    : QDialog(parent)
    , m_folder(std::move(folder))
    , m_names(std::move(names))
    , m_source(source)
    , m_texts(texts)
{
    setObjectName(QStringLiteral("setForCheckedWindow"));
    setWindowTitle(texts.message(QStringLiteral("stitle")));
    setAttribute(Qt::WA_DeleteOnClose);

    files = new QLabel(texts.message(QStringLiteral("nfiles")).arg(m_names.size()).arg(nameForDisplay(m_folder)), this);
    files->setObjectName(QStringLiteral("tagFiles"));
    files->setWordWrap(true);
    auto* form = new QFormLayout;
    const auto box = [&](const QString& caption) {
        auto* edit = new QLineEdit(this);
        auto* label = new QLabel(caption, this);
        label->setBuddy(edit);
        edit->setAccessibleName(caption);
        form->addRow(label, edit);
        return edit;
    };
    artist = box(texts.artist);
    album = box(texts.album);
    year = box(texts.message(QStringLiteral("syear")));
    genre = box(texts.message(QStringLiteral("sgenre")));
    albumArtist = box(texts.message(QStringLiteral("salbumartist")));
    note = new QLabel(this);
    note->setWordWrap(true);
    applyButton = new QPushButton(texts.message(QStringLiteral("napply")), this);
    applyButton->setObjectName(QStringLiteral("tagApply"));
    closeButton = new QPushButton(texts.message(QStringLiteral("pclose")), this);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(files);
    layout->addLayout(form);
    layout->addWidget(note);
    layout->addLayout(buttonRow({ applyButton, closeButton }));
    setTagSource(source);
    resize(400, sizeHint().height());

    connect(closeButton, &QPushButton::clicked, this, &QDialog::close);
    connect(applyButton, &QPushButton::clicked, this, [this, apply = std::move(apply)] {
        const TagBatchRequest wanted = request();
        close();
        apply(wanted);
    });
}

std::vector<std::pair<QLineEdit*, TagField>> SetForCheckedWindow::boxes() const
{
    return { { artist, TagField::Artist }, { album, TagField::Album }, { year, TagField::Year },
        { genre, TagField::Genre }, { albumArtist, TagField::AlbumArtist } };
}

void SetForCheckedWindow::setTagSource(TagSource source)
{
    m_source = source;
    const bool id3v2 = source == TagSource::Id3v2First;
    for (const auto& [edit, field] : boxes())
        edit->setEnabled(id3v2 || id3v1Holds(field));
    const QString empty = m_texts.message(QStringLiteral("sempty"));
    note->setText(id3v2 ? empty : empty + ' ' + m_texts.message(QStringLiteral("nid3v1only")));
}

TagBatchRequest SetForCheckedWindow::request() const
{
    TagValues values;
    for (const auto& [edit, field] : boxes()) {
        if (edit->isEnabled() && !edit->text().trimmed().isEmpty())
            values[field] = edit->text().trimmed();
    }
    TagBatchRequest wanted { m_folder, m_source };
    for (const std::string& name : m_names)
        wanted.files.emplace_back(name, values);
    return wanted;
}

} // namespace zentrio
