#pragma once

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

}  // namespace platform
