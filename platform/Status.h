#pragma once

#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>

namespace platform {

// What kind of failure a status reports. Callers branch on the kind, never on
// the text; the text is for the user.
enum class StatusCode {
    kOk,
    kNotFound,      // nothing stands at the name
    kExists,        // something stands in the way: the name is taken
    kBusy,          // another process holds it (a lock, a sharing violation)
    kNotSupported,  // the system or the file system cannot do it at all
    kPermission,    // the system refuses: no right to it, or a read-only medium
    kNoSpace,       // the disk (or the user's quota) is full
    kInterrupted,   // a signal asked the run to stop
    kCorrupt,       // the data is not what it should be (a damaged file)
    kWrongKey,      // the key (the password) does not open the data
    kIoError,       // any other failure of the system
};

// The name of a kind, for tests and logs ("not found", "wrong key", ...).
const char* StatusCodeName(StatusCode code);

// The outcome of an operation. A failed status carries its kind, one line of
// text ready to show the user (naming the file and saying what went wrong),
// the file it concerns, and the system's own code and words for the failure
// where the system gave them.
class Status {
  public:
    Status() = default;  // success
    static Status OK() { return Status(); }

    // A failure of `code` with `message` as the user reads it.
    static Status Make(StatusCode code, std::string message, std::string path = std::string(),
                       long systemCode = 0, std::string systemText = std::string());
    // "<what> \"<path>\": <the system's words for err>", its kind told by err.
    static Status FromErrno(const std::string& what, const std::string& path, int err);

    bool ok() const { return code_ == StatusCode::kOk; }
    StatusCode code() const { return code_; }
    bool Is(StatusCode code) const { return code_ == code; }
    const std::string& message() const { return message_; }
    const std::string& path() const { return path_; }  // empty when no file is concerned
    long systemCode() const { return systemCode_; }    // errno, a Windows error code, ...
    const std::string& systemText() const { return systemText_; }

    // The same failure with its text preceded by `context` and ": ".
    Status Within(const std::string& context) const;
    // The same failure with `more` added to its text (after "; ").
    Status Adding(const std::string& more) const;

  private:
    StatusCode code_ = StatusCode::kOk;
    std::string message_;
    std::string path_;
    long systemCode_ = 0;
    std::string systemText_;
};

// The kind errno `err` stands for.
StatusCode StatusCodeOfErrno(int err);

// `text` between double quotes, as every message names a file or a value.
std::string Quoted(std::string_view text);

// A failure that ends the run, carrying its status. The few places that
// catch it decide the exit status by the status's kind.
class Error : public std::runtime_error {
  public:
    explicit Error(Status status)
        : std::runtime_error(status.message()), status_(std::move(status)) {}
    const Status& status() const { return status_; }

  private:
    Status status_;
};

// Throws Error for a failed status.
void ThrowIfFailed(const Status& status);

}  // namespace platform
