#include "app/form1.h"

#include "platform/filelistview.h"
#include "platform/filenames.h"
#include "platform/folderlist.h"
#include "rename/runpreview.h"

namespace zentrio {

// "preview": plans the run "selected" would make now and shows it. Its run
// button runs the designed "selected" command itself, unchanged.
void Form1::previewClicked()
{
    std::vector<std::string> checked;
    for (int position = 0; position < ListView1->count(); ++position) {
        if (ListView1->isChecked(position) && hasMp3Suffix(ListView1->itemName(position + 1)))
            checked.push_back(ListView1->itemName(position + 1));
    }
    const auto steps = planFolderRun(Dir1->path(), checked, nameOptions(), tagSource());
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
