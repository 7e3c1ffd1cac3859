#pragma once

#include <stdexcept>

namespace zentrio {

// Thrown by a control that refuses a value (a drive or folder that does not
// exist); the handler that set the value catches it and shows its message.
class ControlError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

} // namespace zentrio
