#include "interface/nodebuild.h"

#include "core/cavityelement.h"
#include "interface/expressionparser.h"
#include "interface/node.h"
#include "interface/parameter.h"

namespace NodeBuild {

bool refuse(Node_& node, const QString& message) {
    node.report(message, Error_::error);
    return false;
}

Parameter_* required(Node_& node, const char* name) {
    if (node.hasParameter(QLatin1String(name))) return node.getParameter(QLatin1String(name));
    refuse(node, QStringLiteral("The parameter \"%1\" is missing; the setup is not started.")
                     .arg(QLatin1String(name)));
    return nullptr;
}

double toDouble(const Parameter_& p) { return p.getValue()->text().toDouble(); }

int toInt(const Parameter_& p) { return p.getValue()->text().toInt(); }

bool liveExpression(Node_& node, Parameter_& p, ExpressionParser_*& parser) {
    const QString name = p.getName()->text();
    p.parse();
    parser = p.getExpression();
    if (!parser) return true;
    if (!parser->checkExpression())
        return refuse(node, QStringLiteral("\"%1\" does not parse: %2")
                                .arg(name, parser->getErrorMessage()));
    if (Parameter_* unbound = parser->findUnboundParameter()) {
        const Node_* owner = unbound->getOwner();
        return refuse(node, QStringLiteral("\"%1\" reads \"%2\" of %3, which holds no live value "
                                           "during a run.")
                                .arg(name, unbound->getName()->text(),
                                     owner ? owner->text(0) : QStringLiteral("no node")));
    }
    return true;
}

bool attachCondition(Node_& node, CavityElement_& element) {
    if (!node.hasParameter(QStringLiteral("Condition"))) return true;
    ExpressionParser_* parser = nullptr;
    if (!liveExpression(node, *node.getParameter(QStringLiteral("Condition")), parser)) return false;
    if (parser) element.setCondition(parser->getCondition());
    return true;
}

}  // namespace NodeBuild
