#pragma once
// The common base of everything a pulse passes in a cavity: the optical
// element kinds, element groups and measurement boxes. It fixes the calls a
// cavity makes, the kind codes, a table of named numeric parameters bound to
// the kind's own values, a process-wide element number and the link back to
// the tree node that built the element.
#include <cstdint>
#include <memory>
#include <string>

#include "logger.h"

class Setup_;
class Pulse_;
class Condition_;
class ElementNodeLink_;
class MeasurementGroupNodeLink_;

class CavityElement_ : public Logger_ {
public:
    enum type_ : int32_t {
        gain = 0,
        saturableAbsorber = 1,
        threeWaveMixing = 2,
        linearLoss = 3,
        gaussianFilter = 4,
        propagation = 5,
        mbox = 6,
        dfgtime = 7,
        dfgfrequency = 8,
        elementgroup = 9,
        elementplugin = 10,
        undefined = 11,
    };

    // Built by an element or element-group node.
    CavityElement_(Setup_* setup, ElementNodeLink_* node);
    // Built by a measurement-group node (a measurement box).
    CavityElement_(Setup_* setup, MeasurementGroupNodeLink_* node);
    CavityElement_(const CavityElement_&) = delete;
    CavityElement_& operator=(const CavityElement_&) = delete;
    // Clears the back link of the node that built the element.
    virtual ~CavityElement_();

    virtual type_ getType();
    // One pass of the cavity's pulse, in place.
    virtual void call(Pulse_* pulse);
    // One pass of the pulses of all cavities sharing the element, in input order.
    virtual void call(Pulse_** pulses, int n);
    // Notice before the setup's last round trip.
    virtual void lastCall();

    // Parameter table; index i is valid for 0 <= i < getParameters().
    int getParameters() const { return parameters; }
    // 0.0 for an invalid index.
    double getParameter(int i) const;
    // An invalid index is ignored.
    void setParameter(int i, double value);
    // The value the entry points at, for binding; null for an invalid index.
    double* getParameterAddress(int i) const;
    // Null for an invalid index.
    std::string* getParameterName(int i);
    std::string* getParameterDescription(int i);
    // The address of the value of the first parameter named exactly `name`
    // (case-sensitive), or null.
    void* getParameter(const std::string& name) const;

    Setup_* getSetup() const { return Setup; }
    // Null for an element without a node or after detachNode.
    ElementNodeLink_* getElementNode() const { return ElementNode; }
    MeasurementGroupNodeLink_* getMeasurementGroupNode() const { return MeasurementGroupNode; }
    // The node is going away: the element no longer refers to it.
    void detachNode();
    // Takes ownership; a kind with a condition skips every pass it does not meet.
    void setCondition(Condition_* condition);
    // -1 for the base alone, which has no number.
    int getId() const { return id ? *id : -1; }

    // Dumps the element and its parameter table at level debugA.
    void write(const int& indent);

protected:
    // Makes an empty table of n entries.
    void makeTable(int n);
    // Points entry i at `value`, which stays owned by the kind.
    void setEntry(int i, double* value, const char* name, const char* description);
    // Gives the kind the next process-wide number, kept in its own field.
    void takeId(int32_t& field);
    // True when a condition is set and not met: the pass is skipped.
    bool skipPass();

private:
    Setup_* const Setup;
    ElementNodeLink_* ElementNode = nullptr;
    MeasurementGroupNodeLink_* MeasurementGroupNode = nullptr;
    std::unique_ptr<double*[]> parameter;
    std::unique_ptr<std::string[]> parameterName;
    std::unique_ptr<std::string[]> parameterDescription;
    int32_t parameters = 0;
    std::unique_ptr<Condition_> Condition;
    int32_t* id = nullptr;

    static int32_t lastId;
};
