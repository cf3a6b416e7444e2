#include "core/datatype.h"

#include <complex>
#include <cstring>

#include "kernel/cinterface.h"
#include "kernel/pulserecord.h"

namespace {

int32_t sizeOf(int32_t code) {
    switch (code) {
        case DataType_::logical: return 1;
        case DataType_::integer: return sizeof(int32_t);
        case DataType_::doubleprecision: return sizeof(double);
        case DataType_::complex: return sizeof(std::complex<float>);
        case DataType_::quadprecision: return sizeof(optics::quad_);
        default: return -1;
    }
}

QString number(double x) { return QString::number(x, 'e', 10); }

template <typename T>
T read(void const* value) {
    T x;
    std::memcpy(&x, value, sizeof x);
    return x;
}

template <typename T>
void write(void* target, T x) {
    std::memcpy(target, &x, sizeof x);
}

}  // namespace

DataType_::DataType_() : type(undefined), dsize(-1) {}

DataType_::DataType_(int const& code) : type(static_cast<type_>(code)), dsize(sizeOf(code)) {}

DataType_::DataType_(type_ const& code) : type(code), dsize(sizeOf(code)) {}

DataType_::DataType_(QString const& word) : type(getType(word)), dsize(sizeOf(type)) {}

DataType_::type_ DataType_::operator=(type_ const& code) {
    type = code;
    computeSize();
    return type;
}

DataType_::type_ DataType_::operator=(QString const& word) {
    type = getType(word);
    computeSize();
    return type;
}

void DataType_::computeSize() { dsize = sizeOf(type); }

DataType_::type_ DataType_::getType(QString word) const {
    static const struct {
        const char* word;
        type_ code;
    } words[] = {
        {"Boolean", logical}, {"Integer", integer}, {"Double", doubleprecision},
        {"Quad", quadprecision}, {"Complex", complex}, {"String", string}, {"Pulse", pulse},
    };
    for (const auto& w : words)
        if (word == QLatin1String(w.word)) return w.code;
    return undefined;
}

QString DataType_::getTypeString() const {
    switch (type) {
        case logical: return QStringLiteral("Boolean");
        case integer: return QStringLiteral("Integer");
        case doubleprecision: return QStringLiteral("Double");
        case complex: return QStringLiteral("Complex");
        case pulse: return QStringLiteral("Pulse");
        case string: return QStringLiteral("String");
        case quadprecision: return QStringLiteral("Quad");
        default: return QStringLiteral("Undefined");
    }
}

bool DataType_::canCastTo(type_ const& target) const {
    return target >= logical && target <= complex;
}

QString DataType_::getStringValue(void const* value) const {
    if (!value) return QString();
    switch (type) {
        case logical:
            return read<unsigned char>(value) ? QStringLiteral("true") : QStringLiteral("false");
        case integer: return QString::number(read<int32_t>(value));
        case doubleprecision: return number(read<double>(value));
        case complex: {
            const auto z = read<std::complex<float>>(value);
            return "(" + number(z.real()) + ", " + number(z.imag()) + ")";
        }
        case quadprecision: return number(cinterface::todouble(read<optics::quad_>(value)));
        default: return getTypeString();
    }
}

void DataType_::setFromStringValue(void* target, QString text) const {
    if (!target) return;
    switch (type) {
        case logical: {
            const QString word = text.toUpper();
            if (word == QLatin1String("TRUE")) write<unsigned char>(target, 1);
            else if (word == QLatin1String("FALSE")) write<unsigned char>(target, 0);
            break;
        }
        case integer: write<int32_t>(target, text.toInt()); break;
        case doubleprecision: write<double>(target, text.toDouble()); break;
        default: break;
    }
}
