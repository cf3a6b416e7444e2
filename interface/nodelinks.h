#pragma once
// The back links by which setup-tree nodes refer to the run-time objects they
// built. An engine object clears its node's link when it is destroyed, so the
// tree never refers to a freed object.

class CavityElement_;
class Cavity_;
class MBox_;

class ElementBaseNode_ {
public:
    CavityElement_* CavityElement = nullptr;
};

class ElementNode_ : public ElementBaseNode_ {};

class ElementGroupNode_ : public ElementBaseNode_ {};

class MeasurementGroupNode_ {
public:
    MBox_* MBox = nullptr;
};

class CavityNode_ {
public:
    Cavity_* Cavity = nullptr;
};
