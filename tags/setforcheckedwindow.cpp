#include "tags/setforcheckedwindow.h"

#include "app/buttonrow.h"
#include "app/interfacetexts.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace zentrio {

SetForCheckedWindow::SetForCheckedWindow(
    bool id3v2, const InterfaceTexts& texts, std::function<void(const TagValues&)> apply, QWidget* parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("setForCheckedWindow"));
    setWindowTitle(texts.message(QStringLiteral("stitle")));
    setAttribute(Qt::WA_DeleteOnClose);

    auto* form = new QFormLayout;
    const auto box = [&](const QString& caption, TagField field) {
        auto* edit = new QLineEdit(this);
        auto* label = new QLabel(caption, this);
        label->setBuddy(edit);
        edit->setAccessibleName(caption);
        edit->setEnabled(id3v2 || id3v1Holds(field));
        form->addRow(label, edit);
        return edit;
    };
    artist = box(texts.artist, TagField::Artist);
    album = box(texts.album, TagField::Album);
    year = box(texts.message(QStringLiteral("syear")), TagField::Year);
    genre = box(texts.message(QStringLiteral("sgenre")), TagField::Genre);
    albumArtist = box(texts.message(QStringLiteral("salbumartist")), TagField::AlbumArtist);
    auto* note = new QLabel(id3v2 ? texts.message(QStringLiteral("sempty"))
                                  : texts.message(QStringLiteral("sempty")) + ' ' + texts.message(QStringLiteral("nid3v1only")),
        this);
    note->setWordWrap(true);
    applyButton = new QPushButton(texts.message(QStringLiteral("napply")), this);
    closeButton = new QPushButton(texts.message(QStringLiteral("pclose")), this);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(note);
    layout->addLayout(buttonRow({ applyButton, closeButton }));
    resize(400, sizeHint().height());

    connect(closeButton, &QPushButton::clicked, this, &QDialog::close);
    connect(applyButton, &QPushButton::clicked, this, [this, apply = std::move(apply)] {
        TagValues values;
        const std::pair<QLineEdit*, TagField> boxes[] = { { artist, TagField::Artist }, { album, TagField::Album },
            { year, TagField::Year }, { genre, TagField::Genre }, { albumArtist, TagField::AlbumArtist } };
        for (const auto& [edit, field] : boxes) {
            if (edit->isEnabled() && !edit->text().trimmed().isEmpty())
                values[field] = edit->text().trimmed();
        }
        close();
        apply(values);
    });
}

} // namespace zentrio
