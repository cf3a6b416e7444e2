#pragma once
// What the nodes share while a run is built: reading parameters by name from
// their value texts, refusing what is missing, and turning expression
// parameters into the conditions and operations a setup thread evaluates.
// Every refusal is reported against the node; the caller then leaves the
// setup unstarted. User-interface thread only.
#include <QString>

class CavityElement_;
class ExpressionParser_;
class Node_;
class Parameter_;

namespace NodeBuild {

// The node's parameter of that name; null, reported, when it has none.
Parameter_* required(Node_& node, const char* name);
// The value text as a number; 0 for text that is not one.
double toDouble(const Parameter_& p);
int toInt(const Parameter_& p);
// Reports a build failure against the node; always false.
bool refuse(Node_& node, const QString& message);

// Parses p afresh into `parser` (null for "always" and the empty text).
// False, reported, when it does not parse or reads a parameter that has no
// live field during the run: its operand would be missing on the setup thread.
bool liveExpression(Node_& node, Parameter_& p, ExpressionParser_*& parser);
// Gives the element the condition of the node's "Condition" parameter, if
// any; false, reported, when that expression cannot run.
bool attachCondition(Node_& node, CavityElement_& element);

}  // namespace NodeBuild
