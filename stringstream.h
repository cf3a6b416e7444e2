#pragma once
// Message builder: text and numbers appended with the standard stream
// formatting, handed to Logger_::log as a std::string.
#include <sstream>
#include <string>

class StringStream_ {
public:
    StringStream_() = default;
    // Starts with `indent` blanks (none when it is not positive).
    explicit StringStream_(const int& indent);

    template <typename T>
    StringStream_& operator<<(const T& value) {
        content << value;
        return *this;
    }

    operator std::string() const;

private:
    std::ostringstream content;
};
