#pragma once

#include <stdexcept>
#include <string>

namespace zentrel {

// The one exception type of the core: it carries the user-facing message unchanged, and the
// binding turns it into InternalError.
class Error : public std::runtime_error {
public:
    explicit Error(const std::string& message) : std::runtime_error(message) {}
    explicit Error(const char* message) : std::runtime_error(message) {}
};

}  // namespace zentrel
