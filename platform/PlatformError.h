#pragma once
#include <stdexcept>
#include <string>

namespace platform {

// Raised by the platform layer when a service cannot be provided; what() is
// one sentence fit to show to the user.
class PlatformError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

} // namespace platform
