#include "testsupport/formfixture.h"

#include "platform/filelistview.h"

#include <QAction>
#include <QApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QLabel>
#include <QMimeData>
#include <QTest>

namespace testsupport {

FormFixture::FormFixture(zentrio::WindowMessaging* messaging)
    : m_messaging(messaging ? messaging : &this->messaging)
    , m_store(std::make_unique<zentrio::IniSettingsStore>(m_config.path()))
{
    // The rename journal goes to this test's own state folder.
    qputenv("XDG_STATE_HOME", (m_config.path() + "/state").toUtf8());
}

FormFixture::~FormFixture() = default;

QByteArray FormFixture::config(const char* key) const { return m_store->read("zentrio", "config", key, "<missing>"); }

void FormFixture::setConfig(const char* key, const QByteArray& value) { m_store->write("zentrio", "config", key, value); }

void FormFixture::setLanguage(const QString& key, const QByteArray& value)
{
    m_store->write("zentrio", "language", key, value);
}

zentrio::Form1& FormFixture::start(bool firstStart)
{
    if (!firstStart && m_store->read("zentrio", "config", "Path").isEmpty()) {
        setConfig("Drive", "/");
        setConfig("Path", QByteArray::fromStdString(music()));
    }
    m_form = std::make_unique<zentrio::Form1>(zentrio::Form1Services { *m_store, launcher, *m_messaging, registry });
    m_form->load();
    m_form->show();
    if (!QTest::qWaitForWindowExposed(m_form.get()))
        qWarning("the window was not exposed");
    return *m_form;
}

void FormFixture::close()
{
    m_form->close();
}

QString FormFixture::message() const { return m_form->Label11->text(); }

QStringList FormFixture::listedNames() const
{
    QStringList names;
    for (int i = 1; i <= m_form->ListView1->count(); ++i)
        names << m_form->ListView1->itemText(i);
    return names;
}

void FormFixture::clickRow(int index)
{
    zentrio::FileListView* list = m_form->ListView1;
    const QModelIndex cell = list->model()->index(index - 1, 1);
    list->scrollTo(cell);
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualRect(cell).center());
}

void FormFixture::trigger(const char* actionName)
{
    QAction* action = m_form->findChild<QAction*>(actionName);
    QVERIFY2(action, actionName);
    action->trigger();
}

void FormFixture::check(int position, bool checked)
{
    zentrio::FileListView* list = m_form->ListView1;
    list->model()->setData(list->model()->index(position, 0), checked ? Qt::Checked : Qt::Unchecked,
        Qt::CheckStateRole);
}

FormFixture::DragOutcome FormFixture::drag(const QList<QUrl>& urls)
{
    QMimeData mime;
    mime.setUrls(urls);
    const QPoint middle = m_form->rect().center();
    QDragEnterEvent enter(middle, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QDragMoveEvent move(middle + QPoint(1, 1), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QDropEvent dropped(QPointF(middle), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    for (QEvent* event : std::initializer_list<QEvent*> { &enter, &move, &dropped })
        QApplication::sendEvent(m_form.get(), event);
    return { enter.isAccepted(), move.isAccepted(), dropped.isAccepted() };
}

} // namespace testsupport
