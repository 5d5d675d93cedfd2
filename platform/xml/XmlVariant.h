#pragma once

#include <cstdint>
#include <string>
#include <utility>

#include "platform/Status.h"

// Every error the XML component raises. The message is ready to show the user.
class XmlError : public platform::Error {
  public:
    // A document or a use of it that is not as it should be.
    explicit XmlError(const std::string& message)
        : Error(platform::Status::Make(platform::StatusCode::kCorrupt, message)) {}
    // A file of the document that could not be read or written: its kind stays.
    explicit XmlError(platform::Status status) : Error(std::move(status)) {}
};

// A node value: nothing (null), a 32-bit integer, a 64-bit float or a wide
// text. Conversions between them follow the journal's number forms: decimal
// integers, floats with up to 15 significant digits and the user's decimal
// separator; reading a float accepts "." or ",".
class XmlVariant {
  public:
    enum class Kind { kNull, kInt, kDouble, kString };

    XmlVariant() = default;  // null
    XmlVariant(int32_t value) : kind_(Kind::kInt), int_(value) {}
    XmlVariant(double value) : kind_(Kind::kDouble), double_(value) {}
    XmlVariant(std::u16string value) : kind_(Kind::kString), string_(std::move(value)) {}
    XmlVariant(const char16_t* value) : XmlVariant(std::u16string(value)) {}

    static XmlVariant Null() { return XmlVariant(); }

    Kind kind() const { return kind_; }
    bool IsNull() const { return kind_ == Kind::kNull; }

    // Throw XmlError when the value has no such form: null, a text that is
    // not a number (or is empty), a number outside the integer range.
    int32_t AsInt() const;
    double AsDouble() const;
    // Null gives the empty text.
    std::u16string AsString() const;

    explicit operator int32_t() const { return AsInt(); }
    explicit operator double() const { return AsDouble(); }
    explicit operator std::u16string() const { return AsString(); }

    bool operator==(const XmlVariant& other) const;
    bool operator!=(const XmlVariant& other) const { return !(*this == other); }

  private:
    Kind kind_ = Kind::kNull;
    int32_t int_ = 0;
    double double_ = 0;
    std::u16string string_;
};
