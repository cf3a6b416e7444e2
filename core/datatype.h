#pragma once
// What kind of value a block of memory holds: a type code, the size of one
// value, the type's display word and the conversion of one value to and from
// text. A plain copyable value.
#include <QString>
#include <cstdint>

class DataType_ {
public:
    enum type_ : int32_t {
        logical = 1,          // one byte, 0 false, anything else true
        integer = 2,          // 32-bit signed integer
        doubleprecision = 3,  // double
        complex = 4,          // two floats, real then imaginary
        pulse = 5,            // an engine pulse; no fixed size
        string = 6,           // no fixed representation
        quadprecision = 7,    // the kernel's extended precision
        undefined = 100,
    };

    DataType_();
    // Codes outside the enumeration are kept; they have no size and the
    // word "Undefined".
    explicit DataType_(int const& code);
    DataType_(type_ const& code);
    DataType_(QString const& word);

    DataType_(DataType_ const& other) = default;
    DataType_& operator=(DataType_ const& other) = default;
    type_ operator=(type_ const& code);
    type_ operator=(QString const& word);

    bool operator==(DataType_ const& other) const { return type == other.type; }
    bool operator!=(DataType_ const& other) const { return type != other.type; }
    bool operator==(type_ const& code) const { return type == code; }
    bool operator!=(type_ const& code) const { return type != code; }
    operator type_() const { return type; }

    type_ get() const { return type; }
    int32_t size() const { return dsize; }
    void setSize(int const& size) { dsize = size; }
    void computeSize();

    // Exact, case-sensitive match of a type word; anything else is undefined.
    type_ getType(QString word) const;
    QString getTypeString() const;
    // Every type converts to the four numeric and logical types.
    bool canCastTo(type_ const& target) const;

    // One value of this type as text; the empty text for a null value, the
    // type word for types without a text form.
    QString getStringValue(void const* value) const;
    // Parses text into one value of this type. Booleans read "true"/"false"
    // in any case and leave the target alone otherwise; numbers that do not
    // parse become 0; other types and a null target are not written.
    void setFromStringValue(void* target, QString text) const;

private:
    type_ type;
    int32_t dsize;
};
