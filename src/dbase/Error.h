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

// The file, a record or the index is held by another user (or another table object): the
// operation may succeed later. A damaged file is never a LockError.
class LockError : public Error {
public:
    using Error::Error;
};

} // namespace dbase
