#pragma once

#include "app/interfacetexts.h"
#include "rename/naming/pattern.h"

namespace zentrio {

// "the pattern cannot be read at character 10: "{" is not closed", in the
// language of the texts: the window and the command line say it alike.
QString patternErrorText(const PatternError& error, const InterfaceTexts& texts);

} // namespace zentrio
