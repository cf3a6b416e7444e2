#pragma once
// What the two expression editors share: the run that repeats until the text
// parses or the user cancels, and the factory through which a parameter of
// the tree opens them.
class ExpressionParser_;
class QDialog;
class QLineEdit;

// Runs `dialog` modally until it is cancelled (false) or accepted with a
// text of `text` that `parser` takes (true); each refusal is shown in an
// "ExpressionError" box and the dialog opens again with the text as it was left.
bool execUntilParsed(QDialog& dialog, ExpressionParser_& parser, const QLineEdit& text);

// Makes expression parameters open the condition dialog and the expression
// composer; the main window calls it once when it is built.
void installExpressionEditors();
