#include "interface/expressiondialogs.h"

namespace {
class NoDialogs : public ExpressionDialogFactory_ {
public:
    ExpressionDialog_* createComposeParameter(Node_*) override { return nullptr; }
    ExpressionDialog_* createSelectCondition(Node_*) override { return nullptr; }
};

NoDialogs noDialogs;
ExpressionDialogFactory_* installed = nullptr;
}  // namespace

void ExpressionDialogFactory_::setFactory(ExpressionDialogFactory_* factory) { installed = factory; }

ExpressionDialogFactory_& ExpressionDialogFactory_::get() { return installed ? *installed : noDialogs; }
