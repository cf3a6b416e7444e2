#include "interface/parameter.h"

#include <QLocale>
#include <cmath>
#include <complex>
#include <cstdint>
#include <cstring>
#include <memory>

#include "core/datashape.h"
#include "interface/expressiondialogs.h"
#include "interface/expressionparser.h"
#include "interface/messagebox.h"
#include "interface/node.h"
#include "kernel/cinterface.h"

namespace {
// The C locale, strict: no group separators, whatever the desktop's locale.
const QLocale& numberLocale() {
    static const QLocale c = [] {
        QLocale l = QLocale::c();
        l.setNumberOptions(QLocale::OmitGroupSeparator | QLocale::RejectGroupSeparator);
        return l;
    }();
    return c;
}

bool readFinite(const QString& text, double& value) {
    bool ok = false;
    value = numberLocale().toDouble(text, &ok);
    return ok && std::isfinite(value);
}

bool readInteger(const QString& text, std::int32_t& value) {
    bool ok = false;
    value = numberLocale().toInt(text, &ok);
    return ok;
}

bool readLogical(const QString& text, bool& value) {
    const QString word = text.toUpper();
    value = word == QLatin1String("TRUE");
    return value || word == QLatin1String("FALSE");
}

// "re, im"; both parts must stay finite in the single precision a complex
// value is stored in.
bool readComplex(const QString& text, std::complex<float>& value) {
    const QString t = text.simplified();
    const int comma = t.indexOf(',');
    double re, im;
    if (comma < 0 || !readFinite(t.left(comma).simplified(), re) ||
        !readFinite(t.mid(comma + 1).simplified(), im))
        return false;
    value = std::complex<float>(static_cast<float>(re), static_cast<float>(im));
    return std::isfinite(value.real()) && std::isfinite(value.imag());
}

// Reads a non-empty text as a value of a numeric or logical type and, when
// it is one and `target` is given, stores it there in the type's layout.
// Other types accept any text and store nothing.
bool readValue(DataType_::type_ type, const QString& text, void* target) {
    const auto store = [target](const auto& value) {
        if (target) std::memcpy(target, &value, sizeof value);
        return true;
    };
    switch (type) {
        case DataType_::logical: {
            bool on;
            return readLogical(text, on) && store(static_cast<unsigned char>(on));
        }
        case DataType_::integer: {
            std::int32_t value;
            return readInteger(text, value) && store(value);
        }
        case DataType_::doubleprecision: {
            double value;
            return readFinite(text, value) && store(value);
        }
        case DataType_::quadprecision: {
            double value;
            optics::quad_ wide;
            if (!readFinite(text, value)) return false;
            cinterface::toquad(value, wide);
            return store(wide);
        }
        case DataType_::complex: {
            std::complex<float> value;
            return readComplex(text, value) && store(value);
        }
        default: return true;
    }
}
}  // namespace

Parameter_::Parameter_(DataType_::type_ type, int dimension, const int* samples)
    : Shape(new DataShape_(DataType_(type), dimension, samples)),
      Name(new QTableWidgetItem),
      Text(new QTableWidgetItem),
      Value(new QTableWidgetItem) {
    Name->setFlags(Qt::ItemIsEditable);
}

Parameter_::Parameter_(const QString& typeWord, int dimension, const int* samples)
    : Shape(new DataShape_(DataType_(typeWord), dimension, samples)),
      Name(new QTableWidgetItem),
      Text(new QTableWidgetItem),
      Value(new QTableWidgetItem) {}

Parameter_::Parameter_(const Parameter_& source)
    : Logger_(),
      ParameterLink_(),
      Shape(new DataShape_(*source.Shape)),
      Name(new QTableWidgetItem(*source.Name)),
      Text(new QTableWidgetItem(*source.Text)),
      Value(new QTableWidgetItem(*source.Value)),
      data(source.data),
      Owner(source.Owner),
      Expression(source.Expression ? new ExpressionParser_(*source.Expression) : nullptr),
      expression(source.expression),
      visible(source.visible),
      measurable(source.measurable),
      editable(source.editable),
      hotChangeable(source.hotChangeable) {
    if (Expression) Expression->setParent(this);
}

Parameter_::~Parameter_() {
    if (!Owner) logError("WARNING: Parameter has no owner at destruction.", debugA);
    delete Name;
    delete Value;
    delete Text;
    delete Expression;
    delete Shape;
}

DataType_ Parameter_::getType() const { return Shape->getType(); }

const int* Parameter_::getSamples() const { return Shape->getSamples(); }

int Parameter_::getDimension() const { return Shape->getDimension(); }

QString Parameter_::getTypeString() const { return Shape->getType().getTypeString(); }

void* Parameter_::getSample(const int* index) const { return Shape->getSample(index, data); }

void* Parameter_::getSubSample(const int* index) const {
    return Shape->getSubSample(index, data);
}

void Parameter_::setEditable(const bool& on) {
    editable = on;
    const Qt::ItemFlags flags = Value->flags();
    Value->setFlags(on ? flags | Qt::ItemIsEditable : flags & ~Qt::ItemIsEditable);
}

void Parameter_::troggleExpression(bool on) {
    expression = on && getType() == DataType_::string;
}

bool Parameter_::verify() {
    if (expression) return verifyExpression();
    if (Value->text().isEmpty()) return true;
    return readValue(getType(), Value->text(), nullptr);
}

bool Parameter_::verifyExpression() {
    if (parse()) return true;
    MessageBox_::show(MessageBox_::information, Node_::getMainWindow(), QStringLiteral("Parse Error"),
                      "Error in field " + Name->text() + ": " + Expression->getErrorMessage());
    return false;
}

void Parameter_::setExpression(ExpressionParser_* parser) {
    if (parser == Expression) return;
    delete Expression;
    Expression = parser;
    if (Expression) Expression->setParent(this);
}

// An empty text or "always" holds no parser, so no stale expression outlives
// its text; a measured quantity must always be given.
bool Parameter_::parse() {
    if (!expression) return true;
    setExpression(nullptr);
    const QString text = Value->text();
    const bool value = ExpressionParser_::purposeOf(Name->text()) == ExpressionParser_::valueExpression;
    if (!value && (text.isEmpty() || text == QLatin1String("always"))) return true;
    setExpression(new ExpressionParser_(this));
    return Expression->setExpression(text);
}

void Parameter_::inputExpression() {
    if (!expression) return;
    ExpressionDialogFactory_& dialogs = ExpressionDialogFactory_::get();
    const bool measured = Name->text() == QLatin1String("Parameter");
    std::unique_ptr<ExpressionDialog_> dialog;
    if (measured)
        dialog.reset(dialogs.createComposeParameter(Owner));
    else if (Name->text() == QLatin1String("Condition"))
        dialog.reset(dialogs.createSelectCondition(Owner));
    if (!dialog || !dialog->exec(Value->text())) return;
    setExpression(dialog->takeExpression());
    Value->setText(dialog->getSelection());
    if (!measured || !Expression || !Owner) return;
    if (Owner->hasParameter(QStringLiteral("Dimension")))
        Owner->getParameter(QStringLiteral("Dimension"))->setValue(QString::number(Expression->getOutputDimension()));
    if (Owner->hasParameter(QStringLiteral("DataType")))
        Owner->getParameter(QStringLiteral("DataType"))->setValue(Expression->getOutputType().getTypeString());
}

QString Parameter_::getRealValue(const int* index) const {
    if (expression) return QStringLiteral("Expression");
    if (getDimension() > 0) return QStringLiteral("Array");
    if (data) return getType().getStringValue(getSample(index));
    return QStringLiteral("Parameter has no data in Parameter_::getRealValue()");
}

// Only numeric and logical values are written; the text is read once.
bool Parameter_::setRealValue(const QString& text, const int* index) {
    void* target = data ? getSample(index) : nullptr;
    switch (getType().get()) {
        case DataType_::logical:
        case DataType_::integer:
        case DataType_::doubleprecision:
        case DataType_::quadprecision:
        case DataType_::complex: return target && readValue(getType().get(), text, target);
        default: return false;
    }
}

int LiveParameterAdapter_::getDimension() { return P.getDimension(); }

QString LiveParameterAdapter_::getRealValue(const int* index) { return P.getRealValue(index); }

void LiveParameterAdapter_::setRealValue(QString text, const int* index) { P.setRealValue(text, index); }

DataShape_& LiveParameterAdapter_::getShape() { return *P.getShape(); }

void* LiveParameterAdapter_::getData() { return P.getData(); }
