#include "platform/Status.h"

#include <errno.h>

#include <cstring>

namespace platform {

const char* StatusCodeName(StatusCode code) {
    switch (code) {
        case StatusCode::kOk:
            return "ok";
        case StatusCode::kNotFound:
            return "not found";
        case StatusCode::kExists:
            return "exists";
        case StatusCode::kBusy:
            return "busy";
        case StatusCode::kNotSupported:
            return "not supported";
        case StatusCode::kPermission:
            return "permission";
        case StatusCode::kNoSpace:
            return "no space";
        case StatusCode::kInterrupted:
            return "interrupted";
        case StatusCode::kCorrupt:
            return "corrupt";
        case StatusCode::kWrongKey:
            return "wrong key";
        case StatusCode::kIoError:
            return "I/O error";
    }
    return "unknown";
}

Status Status::Make(StatusCode code, std::string message, std::string path, long systemCode,
                    std::string systemText) {
    Status status;
    // A failure is never taken for success, whatever its maker passed.
    status.code_ = code == StatusCode::kOk ? StatusCode::kIoError : code;
    status.message_ = std::move(message);
    status.path_ = std::move(path);
    status.systemCode_ = systemCode;
    status.systemText_ = std::move(systemText);
    return status;
}

StatusCode StatusCodeOfErrno(int err) {
    switch (err) {
        case ENOENT:
        case ENOTDIR:
            return StatusCode::kNotFound;
        case EEXIST:
        case ENOTEMPTY:
        case EISDIR:
            return StatusCode::kExists;
        case EWOULDBLOCK:
        case EBUSY:
        case ETXTBSY:
            return StatusCode::kBusy;
        case ENOSYS:
        case EOPNOTSUPP:
#if defined(ENOTSUP) && ENOTSUP != EOPNOTSUPP
        case ENOTSUP:
#endif
            return StatusCode::kNotSupported;
        case EACCES:
        case EPERM:
        case EROFS:
            return StatusCode::kPermission;
        case ENOSPC:
#ifdef EDQUOT
        case EDQUOT:
#endif
        case EFBIG:
            return StatusCode::kNoSpace;
        case EINTR:
            return StatusCode::kInterrupted;
        default:
            return StatusCode::kIoError;
    }
}

Status Status::FromErrno(const std::string& what, const std::string& path, int err) {
    const std::string reason = std::strerror(err);
    return Make(StatusCodeOfErrno(err), what + " " + Quoted(path) + ": " + reason, path, err,
                reason);
}

Status Status::Within(const std::string& context) const {
    if (ok())
        return *this;
    Status status = *this;
    status.message_ = context + ": " + message_;
    return status;
}

Status Status::Adding(const std::string& more) const {
    if (ok())
        return *this;
    Status status = *this;
    status.message_ = message_ + "; " + more;
    return status;
}

std::string Quoted(std::string_view text) {
    std::string quoted;
    quoted.reserve(text.size() + 2);
    quoted += '"';
    quoted += text;
    quoted += '"';
    return quoted;
}

void ThrowIfFailed(const Status& status) {
    if (!status.ok())
        throw Error(status);
}

}  // namespace platform
