#pragma once
// One line of kernel output in the list-directed layout every kernel routine
// prints with: a leading blank, integers in 11 columns, doubles in 25 columns
// with 17 significant digits, floats in 15 columns with 8, and one blank
// between two items unless both are texts.
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

namespace listoutput {

class Line {
public:
    Line& operator<<(std::string_view text);
    Line& operator<<(const char* text) { return *this << std::string_view(text); }
    Line& operator<<(const std::string& text) { return *this << std::string_view(text); }
    Line& operator<<(int32_t value);
    Line& operator<<(double value);
    Line& operator<<(float value);

    // The finished line without its newline.
    const std::string& str() const { return text_; }

private:
    void separate(bool isText);

    std::string text_{" "};
    bool empty_ = true;
    bool lastWasText_ = false;
};

// Writes the line and a newline to stdout (the kernel's standard output)
// under the kernel's output lock, so lines from several threads never mix.
void print(const Line& line);
// Writes one line of bare text (with the leading blank) to stdout.
void print(std::string_view text);
// Writes the line and a newline to a file; false when the write failed.
bool print(std::FILE* file, const Line& line);

}  // namespace listoutput
