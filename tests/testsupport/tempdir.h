#pragma once

#include "platform/fs/fsops.h"

#include <QTemporaryDir>

namespace testsupport {

// A temporary folder that is removed with the project's byte-exact file
// layer, so names that are not valid UTF-8 (which QTemporaryDir cannot
// name, and so leaves behind) go too.
class TempDir : public QTemporaryDir {
public:
    using QTemporaryDir::QTemporaryDir;
    ~TempDir()
    {
        if (isValid())
            zentrio::fs::removeTree(path().toStdString());
    }
};

} // namespace testsupport
