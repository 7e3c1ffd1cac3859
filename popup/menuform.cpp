#include "popup/menuform.h"

namespace zentrio {

namespace {

    // A menu caption shows "&" as is only when it is doubled.
    QString asCaption(QString text) { return text.replace(u'&', QStringLiteral("&&")); }

} // namespace

MenuForm::MenuForm(QWidget* parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("menuform"));
    sort = new QMenu(this);
    sort->setObjectName(QStringLiteral("sort"));
    filename = sort->addAction(QString());
    filename->setObjectName(QStringLiteral("filename"));
    filename->setEnabled(false);
    playing = sort->addAction(QStringLiteral("start playing"));
    playing->setObjectName(QStringLiteral("playing"));
    newfilename = sort->addAction(QString());
    newfilename->setObjectName(QStringLiteral("newfilename"));
    newfilename->setEnabled(false);
    OK = sort->addAction(QStringLiteral("OK to rename"));
    OK->setObjectName(QStringLiteral("OK"));
}

void MenuForm::setNames(const std::string& fileName, const QString& shownFileName, const QString& newFileName)
{
    m_fileName = fileName;
    m_newFileName = newFileName;
    filename->setText(asCaption(shownFileName));
    newfilename->setText(asCaption(newFileName));
}

} // namespace zentrio
