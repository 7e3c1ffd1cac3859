#include "app/form1.h"

#include "platform/fs/fsops.h"
#include "playlist/m3u/playlist.h"

namespace zentrio {

void Form1::savem3u()
{
    const std::string folder = currentFolder();
    if (!fs::changeDirectory(folder) || !writePlaylist(folder, listedFormats()))
        showMessage(message(QStringLiteral("error6")));
}

// The menu shows its success message first; a failure replaces it.
void Form1::savingm3uClicked()
{
    showMessage(message(QStringLiteral("msg4")));
    savem3u();
}

} // namespace zentrio
