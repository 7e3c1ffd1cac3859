#include "platform/filelauncher.h"

#include <QDesktopServices>
#include <QUrl>

namespace zentrio {

bool DesktopFileLauncher::open(const std::string& path)
{
    // Percent-encoding the raw bytes keeps names that are not valid UTF-8.
    const QByteArray encoded = QByteArray::fromStdString(path).toPercentEncoding("/");
    return QDesktopServices::openUrl(QUrl::fromEncoded("file://" + encoded, QUrl::StrictMode));
}

} // namespace zentrio
