#include "stringstream.h"

StringStream_::StringStream_(const int& indent) {
    if (indent > 0) content << std::string(static_cast<size_t>(indent), ' ');
}

StringStream_::operator std::string() const { return content.str(); }
