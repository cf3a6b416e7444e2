#pragma once
// Stand-ins for the tree nodes that build cavities, elements and boxes: each
// keeps its back link the way the real node does.
#include "core/cavity.h"
#include "core/cavitynodelink.h"
#include "core/cavityelement.h"
#include "core/elementnodelink.h"
#include "core/elements/mbox.h"
#include "core/measurementgroupnodelink.h"
#include "interface/error.h"

struct FakeElementNode : ElementNodeLink_ {
    Error_& getErrorSource() override { return errors; }
    void unlinkElement(CavityElement_* element) override {
        if (CavityElement == element) CavityElement = nullptr;
    }
    Error_ errors;
    CavityElement_* CavityElement = nullptr;
};

struct FakeCavityNode : CavityNodeLink_ {
    Error_& getErrorSource() override { return errors; }
    void unlinkCavity(Cavity_* cavity) override {
        if (Cavity == cavity) Cavity = nullptr;
    }
    Error_ errors;
    Cavity_* Cavity = nullptr;
};

struct FakeBoxNode : MeasurementGroupNodeLink_ {
    Error_& getErrorSource() override { return errors; }
    void unlinkBox(MBox_* box) override {
        if (MBox == box) MBox = nullptr;
    }
    Error_ errors;
    MBox_* MBox = nullptr;
};
