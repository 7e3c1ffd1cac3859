#include "app/form1.h"

#include "platform/filelistview.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QRadioButton>

namespace zentrio {

// A pattern button or a box that shapes the name changed: compose afresh.
void Form1::optionClicked() { frissites2(); }

// "rowlines": grid lines on or off; check boxes and full-row selection stay.
void Form1::check6Clicked()
{
    unsigned style = ListView1->extendedStyle();
    if (Check6->checkState() == Qt::Unchecked)
        style &= ~FileListView::kGridLines;
    else if (Check6->checkState() == Qt::Checked)
        style |= FileListView::kGridLines;
    ListView1->setExtendedStyle(0, style);
}

// The separator changed: the new name and the captions that show it follow.
void Form1::text2Changed()
{
    frissites2();
    Option2->setText(m_texts.artist + Text2->text() + m_texts.song);
    Option3->setText(m_texts.artist + Text2->text() + m_texts.album + Text2->text() + m_texts.song);
    Option4->setText(m_texts.album + Text2->text() + m_texts.song);
    frissites2();
}

} // namespace zentrio
