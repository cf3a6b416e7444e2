#pragma once
// One named, typed value of a tree node. Its name, description and value text
// are three table cells that the parameter owns and the parameter table shows,
// so editing the table edits the parameter. While a run is built the owning
// node binds it to the live field of the simulation object (`data`); the value
// display and the tuning of a running setup then go through that field.
// Numbers in value texts are read and written in the C locale.
#include <QString>
#include <QTableWidgetItem>

#include "core/datatype.h"
#include "core/parameterlink.h"
#include "interface/accessor.h"
#include "logger.h"

class DataShape_;
class ExpressionParser_;
class Node_;
class Parameter_;

// A parameter as the live-access channel watches and tunes it. Both this
// interface and the operand link name a shape and a data getter, with other
// signatures, so the parameter holds this view of itself instead of deriving
// from both.
class LiveParameterAdapter_ final : public LiveParameter_ {
public:
    explicit LiveParameterAdapter_(Parameter_& parameter) : P(parameter) {}
    int getDimension() override;
    QString getRealValue(const int* index) override;
    void setRealValue(QString text, const int* index) override;
    DataShape_& getShape() override;
    void* getData() override;

private:
    Parameter_& P;
};

class Parameter_ : public Logger_, public ParameterLink_ {
public:
    // The name cell is editable only (neither enabled nor selectable).
    Parameter_(DataType_::type_ type, int dimension, const int* samples);
    // The type from its type word; the name cell keeps the default flags.
    Parameter_(const QString& typeWord, int dimension, const int* samples);
    // Shares the bound field; new shape and cells; the same owner and flags.
    Parameter_(const Parameter_& source);
    Parameter_& operator=(const Parameter_&) = delete;
    // Deletes the cells (they leave their table) and the shape, never `data`.
    virtual ~Parameter_();

    void setName(const QString& text) { Name->setText(text); }
    void setText(const QString& text) { Text->setText(text); }
    void setValue(const QString& text) { Value->setText(text); }
    QTableWidgetItem* getName() const { return Name; }
    QTableWidgetItem* getText() const { return Text; }
    QTableWidgetItem* getValue() const { return Value; }

    DataType_ getType() const;
    const DataShape_* getShape() const override { return Shape; }
    DataShape_* getShape() { return Shape; }
    // The extents, or null for a scalar.
    const int* getSamples() const;
    // 0 for a scalar.
    int getDimension() const;
    QString getTypeString() const;

    void* getData() const override { return data; }
    void setData(void* field) { data = field; }
    // The sample, or for a pulse the sample inside the pulse, at that index
    // of the bound field; null when unbound.
    void* getSample(const int* index) const;
    void* getSubSample(const int* index) const;

    void setOwner(Node_* node) { Owner = node; }
    Node_* getOwner() const { return Owner; }
    Node_* getParent() const { return Owner; }

    bool getVisible() const { return visible; }
    bool getMeasurable() const { return measurable; }
    bool getEditable() const { return editable; }
    bool getHotChangeable() const { return hotChangeable; }
    void setVisible(const bool& on) { visible = on; }
    void setMeasurable(const bool& on) { measurable = on; }
    void setHotChangeable(const bool& on) { hotChangeable = on; }
    // Also sets or clears the editable flag of the value cell alone.
    void setEditable(const bool& on);

    // Only a string parameter can hold an expression.
    void troggleExpression(bool on);
    bool isExpression() const { return expression; }
    // The parsed expression; null before the first parse, after parsing an
    // empty text or "always", and for parameters without the flag.
    ExpressionParser_* getExpression() const { return Expression; }
    // Takes ownership; the parser held before is deleted.
    void setExpression(ExpressionParser_* parser);
    // Parses the value text of an expression (true without the flag); a
    // failed parser stays, for its message.
    bool parse();
    // Opens the dialog that edits this expression ("Parameter" or "Condition").
    void inputExpression();

    // Whether the value text is acceptable for the type; the empty text is,
    // except as a measured quantity. An expression is parsed to tell.
    bool verify();
    // The live value as text; "Expression", "Array" or a notice when there is
    // no single bound value to show.
    QString getRealValue(const int* index) const;
    // Writes the value read from text into the bound field: a logical,
    // integer, double, extended-precision or complex ("re, im") value. False,
    // and nothing written, when the parameter is unbound, the text is not a
    // valid value (a non-finite number included) or the type is a string or
    // a pulse, which no text writes.
    bool setRealValue(const QString& text, const int* index);
    // What a setup's live-access channel is given to watch or tune this parameter.
    LiveParameter_* getLive() { return &Live; }

private:
    // Parses the expression; the "Parse Error" box tells why it failed.
    bool verifyExpression();

    DataShape_* Shape;
    QTableWidgetItem* Name;
    QTableWidgetItem* Text;
    QTableWidgetItem* Value;
    void* data = nullptr;
    Node_* Owner = nullptr;
    ExpressionParser_* Expression = nullptr;
    bool expression = false;
    bool visible = true;
    bool measurable = true;
    bool editable = true;
    bool hotChangeable = false;
    LiveParameterAdapter_ Live{*this};
};
