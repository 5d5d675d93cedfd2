#pragma once

// Owning wrappers for what the Win32 API hands out and wants back: kernel
// handles, searches, memory it allocated, and the cryptographic service's
// hashes, keys and provider contexts. One template; each kind says what
// "nothing" is and how it is given back. Include after <windows.h>.

#include <utility>

namespace platform {

// Owns one `Kind::Value` and gives it back with `Kind::Close` when it goes.
// Movable, not copyable. Empty is one idea for every kind: whatever
// Kind::IsEmpty says (for kernel handles both null and
// INVALID_HANDLE_VALUE, as the API returns either for a failure).
template <typename Kind>
class UniqueHandle {
  public:
    using Value = typename Kind::Value;

    UniqueHandle() = default;
    explicit UniqueHandle(Value value) : value_(value) {}
    ~UniqueHandle() { reset(); }

    UniqueHandle(UniqueHandle&& other) noexcept : value_(other.release()) {}
    UniqueHandle& operator=(UniqueHandle&& other) noexcept {
        if (this != &other)
            reset(other.release());
        return *this;
    }
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;

    bool valid() const { return !Kind::IsEmpty(value_); }
    explicit operator bool() const { return valid(); }
    Value get() const { return value_; }

    // Hands the value over without giving it back.
    Value release() { return std::exchange(value_, Kind::kEmpty); }

    // Gives back what is held and takes `value`. False when giving back
    // failed (GetLastError tells why); nothing is held either way.
    bool reset(Value value = Kind::kEmpty) {
        const Value old = std::exchange(value_, value);
        return Kind::IsEmpty(old) || Kind::Close(old);
    }

    // For a call that hands a new value back through a pointer: gives back
    // what is held and lends the place for the new one.
    Value* out() {
        reset();
        return &value_;
    }

  private:
    Value value_ = Kind::kEmpty;
};

namespace handle_kinds {

struct Kernel {
    using Value = HANDLE;
    static constexpr Value kEmpty = nullptr;
    static bool IsEmpty(Value value) { return value == nullptr || value == INVALID_HANDLE_VALUE; }
    static bool Close(Value value) { return CloseHandle(value) != 0; }
};

struct Find {
    using Value = HANDLE;
    static constexpr Value kEmpty = nullptr;
    static bool IsEmpty(Value value) { return value == nullptr || value == INVALID_HANDLE_VALUE; }
    static bool Close(Value value) { return FindClose(value) != 0; }
};

struct LocalMemory {
    using Value = HLOCAL;
    static constexpr Value kEmpty = nullptr;
    static bool IsEmpty(Value value) { return value == nullptr; }
    static bool Close(Value value) { return LocalFree(value) == nullptr; }
};

struct CryptHash {
    using Value = HCRYPTHASH;
    static constexpr Value kEmpty = 0;
    static bool IsEmpty(Value value) { return value == 0; }
    static bool Close(Value value) { return CryptDestroyHash(value) != 0; }
};

struct CryptKey {
    using Value = HCRYPTKEY;
    static constexpr Value kEmpty = 0;
    static bool IsEmpty(Value value) { return value == 0; }
    static bool Close(Value value) { return CryptDestroyKey(value) != 0; }
};

struct CryptProvider {
    using Value = HCRYPTPROV;
    static constexpr Value kEmpty = 0;
    static bool IsEmpty(Value value) { return value == 0; }
    static bool Close(Value value) { return CryptReleaseContext(value, 0) != 0; }
};

}  // namespace handle_kinds

using KernelHandle = UniqueHandle<handle_kinds::Kernel>;
using FindHandle = UniqueHandle<handle_kinds::Find>;
using LocalMemory = UniqueHandle<handle_kinds::LocalMemory>;
using CryptHash = UniqueHandle<handle_kinds::CryptHash>;
using CryptKey = UniqueHandle<handle_kinds::CryptKey>;
using CryptProvider = UniqueHandle<handle_kinds::CryptProvider>;

}  // namespace platform
