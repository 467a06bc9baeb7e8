#pragma once

#include <stdexcept>
#include <string>

namespace dbase {

// Every failure of the engine: a damaged or foreign file, a refused lock, a value that does
// not fit a field, an operation in the wrong state. The message is meant for the user.
class Error : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

} // namespace dbase
