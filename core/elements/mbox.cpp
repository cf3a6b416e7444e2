#include "core/elements/mbox.h"

#include "core/measurement.h"
#include "core/measurementgroupnodelink.h"

MBox_::MBox_(Setup_* setup, int n, MeasurementGroupNodeLink_* node)
    : CavityElement_(setup, node),
      Measurement(std::make_unique<Measurement_*[]>(static_cast<size_t>(n > 0 ? n : 0))),
      measurements(n > 0 ? n : 0) {
    takeId(id);
}

MBox_::~MBox_() {
    for (int i = 0; i < measurements; ++i) delete Measurement[i];
    if (MeasurementGroupNodeLink_* node = getMeasurementGroupNode()) node->unlinkBox(this);
}

void MBox_::call(Pulse_*) { collect(); }

void MBox_::call(Pulse_**, int) { collect(); }

int MBox_::addMeasurement(Measurement_* measurement) {
    for (int i = 0; i < measurements; ++i) {
        if (!Measurement[i]) {
            Measurement[i] = measurement;
            return i;
        }
    }
    return -1;
}

Measurement_* MBox_::getMeasurement(int i) const {
    return i >= 0 && i < measurements ? Measurement[i] : nullptr;
}

void MBox_::collect() {
    if (skipPass()) return;
    for (int i = 0; i < measurements; ++i)
        if (Measurement[i]) Measurement[i]->collect();
}

void MBox_::reserve(int sets) {
    for (int i = 0; i < measurements; ++i)
        if (Measurement[i]) Measurement[i]->reserve(sets);
}
