#include "platform/xml/XmlVariant.h"

#include <cmath>
#include <limits>

#include "platform/text/Numbers.h"
#include "platform/text/Utf16.h"

namespace {

// Numbers are ASCII; any other character makes the text no number.
bool ToAscii(const std::u16string& text, std::string* ascii) {
    ascii->clear();
    for (char16_t c : text) {
        if (c >= 0x80)
            return false;
        ascii->push_back(static_cast<char>(c));
    }
    return true;
}

[[noreturn]] void NotA(const std::u16string& text, const char* what) {
    throw XmlError("\"" + platform::Utf16ToUtf8(text) + "\" is not a valid " + what + " value");
}

}  // namespace

int32_t XmlVariant::AsInt() const {
    switch (kind_) {
        case Kind::kNull:
            throw XmlError("Could not convert variant of type (Null) into type (Integer)");
        case Kind::kInt:
            return int_;
        case Kind::kDouble: {
            const double rounded = std::nearbyint(double_);
            if (!(rounded >= std::numeric_limits<int32_t>::min() &&
                  rounded <= std::numeric_limits<int32_t>::max()))
                NotA(AsString(), "integer");
            return static_cast<int32_t>(rounded);
        }
        case Kind::kString:
            break;
    }
    std::string ascii;
    int32_t value = 0;
    if (!ToAscii(string_, &ascii) || !platform::ParseInt32(ascii, &value))
        NotA(string_, "integer");
    return value;
}

double XmlVariant::AsDouble() const {
    switch (kind_) {
        case Kind::kNull:
            throw XmlError("Could not convert variant of type (Null) into type (Double)");
        case Kind::kInt:
            return int_;
        case Kind::kDouble:
            return double_;
        case Kind::kString:
            break;
    }
    std::string ascii;
    double value = 0;
    if (!ToAscii(string_, &ascii) || !platform::ParseDouble(ascii, &value))
        NotA(string_, "floating point");
    return value;
}

std::u16string XmlVariant::AsString() const {
    switch (kind_) {
        case Kind::kNull:
            return std::u16string();
        case Kind::kInt:
            return platform::Utf8ToUtf16(platform::FormatInt(int_));
        case Kind::kDouble:
            return platform::Utf8ToUtf16(platform::FormatDouble(double_));
        case Kind::kString:
            return string_;
    }
    return std::u16string();
}

bool XmlVariant::operator==(const XmlVariant& other) const {
    if (kind_ != other.kind_)
        return false;
    switch (kind_) {
        case Kind::kNull:
            return true;
        case Kind::kInt:
            return int_ == other.int_;
        case Kind::kDouble:
            return double_ == other.double_;
        case Kind::kString:
            return string_ == other.string_;
    }
    return false;
}
