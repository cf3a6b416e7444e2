#include "core/cavityelement.h"

#include "core/condition.h"
#include "core/elementnodelink.h"
#include "stringstream.h"

int32_t CavityElement_::lastId = 0;

CavityElement_::CavityElement_(Setup_* setup, ElementNodeLink_* node)
    : Setup(setup), ElementNode(node) {}

CavityElement_::CavityElement_(Setup_* setup, MeasurementGroupNodeLink_* node)
    : Setup(setup), MeasurementGroupNode(node) {}

// The measurement-group node's link is typed as the box; the box clears it.
CavityElement_::~CavityElement_() {
    if (ElementNode) ElementNode->unlinkElement(this);
}

void CavityElement_::detachNode() {
    ElementNode = nullptr;
    MeasurementGroupNode = nullptr;
}

CavityElement_::type_ CavityElement_::getType() { return undefined; }

void CavityElement_::call(Pulse_*) {}

void CavityElement_::call(Pulse_**, int) {}

void CavityElement_::lastCall() {}

double CavityElement_::getParameter(int i) const {
    return i >= 0 && i < parameters ? *parameter[i] : 0.0;
}

double* CavityElement_::getParameterAddress(int i) const {
    return i >= 0 && i < parameters ? parameter[i] : nullptr;
}

void CavityElement_::setParameter(int i, double value) {
    if (i >= 0 && i < parameters) *parameter[i] = value;
}

std::string* CavityElement_::getParameterName(int i) {
    return i >= 0 && i < parameters ? &parameterName[i] : nullptr;
}

std::string* CavityElement_::getParameterDescription(int i) {
    return i >= 0 && i < parameters ? &parameterDescription[i] : nullptr;
}

void* CavityElement_::getParameter(const std::string& name) const {
    for (int i = 0; i < parameters; ++i)
        if (parameterName[i] == name) return parameter[i];
    return nullptr;
}

void CavityElement_::setCondition(Condition_* condition) { Condition.reset(condition); }

void CavityElement_::write(const int& indent) {
    if (!passesLevel(debugA)) return;
    log(StringStream_(indent) << "Addr: " << static_cast<const void*>(this), debugA);
    log(StringStream_(indent) << "Type: " << static_cast<int>(getType()), debugA);
    log(StringStream_(indent) << "Parameters: " << parameters, debugA);
    for (int i = 0; i < parameters; ++i)
        log(StringStream_(indent) << "  Parameter " << i << ": " << parameterName[i] << " = "
                                  << *parameter[i],
            debugA);
}

void CavityElement_::makeTable(int n) {
    if (n <= 0) return;
    parameter = std::make_unique<double*[]>(static_cast<size_t>(n));
    parameterName = std::make_unique<std::string[]>(static_cast<size_t>(n));
    parameterDescription = std::make_unique<std::string[]>(static_cast<size_t>(n));
    parameters = n;
}

void CavityElement_::setEntry(int i, double* value, const char* name, const char* description) {
    parameter[i] = value;
    parameterName[i] = name;
    parameterDescription[i] = description;
}

void CavityElement_::takeId(int32_t& field) {
    field = lastId++;
    id = &field;
}

bool CavityElement_::skipPass() { return Condition && !Condition->isMet(); }
