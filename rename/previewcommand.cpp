#include "app/form1.h"

#include "platform/filelistview.h"
#include "platform/folderlist.h"
#include "rename/folderrun/renamerun.h"
#include "rename/runpreview.h"

namespace zentrio {

// "preview": plans the run "selected" would make now and shows it. Its run
// button runs the designed "selected" command itself, unchanged.
void Form1::previewClicked()
{
    const auto steps = planFolderRun(
        Dir1->path(), checkedAudioNames(runItems(), listedFormats()), nameOptions(), tagSource());
    if (!steps) {
        showMessage(message(QStringLiteral("error5")));
        return;
    }
    delete m_preview;
    m_preview = new RunPreview(*steps, m_texts, [this] { selectedClicked(); }, this);
    m_preview->show();
}

RunPreview* Form1::runPreview() const { return m_preview; }

} // namespace zentrio
