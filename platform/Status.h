#pragma once

#include <stdexcept>
#include <string>
#include <utility>

namespace platform {

// The outcome of a file-system operation. A failed status carries one line of
// text that names the file and says what went wrong, ready to show the user.
class Status {
  public:
    Status() = default;  // success
    static Status OK() { return Status(); }
    static Status Error(std::string message) { return Status(std::move(message)); }
    // "<what> \"<path>\": <strerror(err)>"
    static Status FromErrno(const std::string& what, const std::string& path, int err);

    bool ok() const { return !failed_; }
    const std::string& message() const { return message_; }

  private:
    explicit Status(std::string message) : failed_(true), message_(std::move(message)) {}

    bool failed_ = false;
    std::string message_;
};

// A file-system failure that ends the run. Its text names the file and says
// what went wrong.
class IoError : public std::runtime_error {
  public:
    explicit IoError(const Status& status) : std::runtime_error(status.message()) {}
};

// Throws IoError for a failed status.
inline void ThrowIfFailed(const Status& status) {
    if (!status.ok())
        throw IoError(status);
}

}  // namespace platform
