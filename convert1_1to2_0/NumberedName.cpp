#include "convert1_1to2_0/NumberedName.h"

std::string NumberedName(const std::string& base, int number, const std::string& suffix) {
    return number == 0 ? base + suffix : base + "." + std::to_string(number) + suffix;
}

bool IsNumberedName(const std::string& name, const std::string& base, const std::string& suffix) {
    if (name == base + suffix)
        return true;
    if (name.size() <= base.size() + 1 + suffix.size() || name.compare(0, base.size(), base) != 0 ||
        name[base.size()] != '.' ||
        name.compare(name.size() - suffix.size(), suffix.size(), suffix) != 0)
        return false;
    const std::string digits =
        name.substr(base.size() + 1, name.size() - base.size() - 1 - suffix.size());
    if (digits.empty() || digits[0] == '0' || digits.size() > 9)
        return false;
    for (char c : digits) {
        if (c < '0' || c > '9')
            return false;
    }
    return true;
}

std::string FirstFreeNumberedName(platform::Folder& folder, const std::string& base,
                                  const std::string& suffix) {
    for (int number = 0;; ++number) {
        const std::string name = NumberedName(base, number, suffix);
        platform::FileKind kind;
        platform::ThrowIfFailed(folder.GetFileKind(name, &kind));
        if (kind == platform::FileKind::kMissing)
            return name;
    }
}

std::string RenameToFirstFreeNumberedName(platform::Folder& folder, const std::string& from,
                                          const std::string& base, const std::string& suffix) {
    for (int number = 0;; ++number) {
        const std::string to = NumberedName(base, number, suffix);
        const platform::Status status = folder.RenameNoReplace(from, to);
        if (status.ok())
            return to;
        if (!status.Is(platform::StatusCode::kExists) || number == 999999999)
            throw platform::Error(status);
    }
}
