#include "rename/ownpatternwindow.h"

#include "app/buttonrow.h"
#include "app/interfacetexts.h"
#include "rename/naming/patternerror.h"

#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

namespace zentrio {

QString OwnPatternWindow::errorText(const PatternError& error, const InterfaceTexts& texts)
{
    return patternErrorText(error, [&texts](const QString& key) { return texts.message(key); });
}

OwnPatternWindow::OwnPatternWindow(const QString& pattern, const QStringList& recent, const InterfaceTexts& texts,
    std::function<QString(const ParsedPattern&)> nameOf, std::function<void(const QString&)> accepted, QWidget* parent)
    : QDialog(parent)
    , m_texts(texts)
    , m_nameOf(std::move(nameOf))
{
    setObjectName(QStringLiteral("ownPatternWindow"));
    setWindowTitle(texts.message(QStringLiteral("otitle")));
    setAttribute(Qt::WA_DeleteOnClose);

    patternBox = new QLineEdit(pattern, this);
    patternBox->setObjectName(QStringLiteral("patternBox"));
    fields = new QListWidget(this);
    fields->setObjectName(QStringLiteral("patternFields"));
    for (const PatternFieldName& field : patternFieldNames()) {
        fields->addItem(QStringLiteral("{%1}  %2")
                            .arg(QLatin1String(field.name), texts.message(QLatin1String(field.descriptionKey))));
    }
    newName = new QLabel(this);
    newName->setObjectName(QStringLiteral("patternNewName"));
    newName->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    newName->setWordWrap(true);
    recentPatterns = new QComboBox(this);
    recentPatterns->setObjectName(QStringLiteral("recentPatterns"));
    recentPatterns->addItems(recent);
    recentPatterns->setCurrentIndex(-1);
    okButton = new QPushButton(texts.message(QStringLiteral("ook")), this);
    cancelButton = new QPushButton(texts.message(QStringLiteral("ocancel")), this);
    okButton->setDefault(true);

    auto* form = new QFormLayout;
    const auto row = [&](const char* key, QWidget* control) {
        auto* label = new QLabel(texts.message(QLatin1String(key)), this);
        label->setBuddy(control);
        control->setAccessibleName(label->text());
        form->addRow(label, control);
    };
    row("opattern", patternBox);
    row("orecent", recentPatterns);
    row("ofields", fields);
    row("onewname", newName);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addLayout(buttonRow({ okButton, cancelButton }));
    resize(640, 440);

    connect(patternBox, &QLineEdit::textChanged, this, &OwnPatternWindow::patternEdited);
    connect(
        fields, &QListWidget::itemActivated, this, [this](QListWidgetItem* item) { insertField(fields->row(item)); });
    connect(recentPatterns, &QComboBox::activated, this,
        [this](int index) { patternBox->setText(recentPatterns->itemText(index)); });
    connect(okButton, &QPushButton::clicked, this, [this, accepted = std::move(accepted)] {
        const QString text = patternBox->text();
        close();
        accepted(text);
    });
    connect(cancelButton, &QPushButton::clicked, this, &QDialog::close);
    patternEdited();
}

// The new name, or the fault and its place, for the pattern as typed so far.
void OwnPatternWindow::patternEdited()
{
    const ParsedPattern parsed = parsePattern(patternBox->text());
    okButton->setEnabled(parsed.ok());
    if (parsed.error)
        newName->setText(errorText(*parsed.error, m_texts));
    else
        newName->setText(parsed.ok() ? m_nameOf(parsed) : QString());
}

void OwnPatternWindow::insertField(int row)
{
    if (row < 0 || row >= static_cast<int>(patternFieldNames().size()))
        return;
    patternBox->insert(QStringLiteral("{%1}").arg(QLatin1String(patternFieldNames()[row].name)));
    patternBox->setFocus();
}

} // namespace zentrio
