#pragma once
// A measurement box: the point of a cavity's ring at which its measurements
// collect, once per pass of the pulse. The box owns its measurements.
#include <cstdint>
#include <memory>

#include "core/cavityelement.h"

class Measurement_;

class MBox_ : public CavityElement_ {
public:
    MBox_(Setup_* setup, int n, MeasurementGroupNodeLink_* node);
    // Destroys the measurements and clears the node's link to the box.
    ~MBox_() override;

    type_ getType() override { return mbox; }
    // Both forms ignore the pulses: every measurement collects, in slot order.
    void call(Pulse_* pulse) override;
    void call(Pulse_** pulses, int n) override;
    void lastCall() override {}

    // Takes ownership; the first free slot, or -1 when none is free.
    int addMeasurement(Measurement_* measurement);
    // Null outside the slots or for a free slot.
    Measurement_* getMeasurement(int i) const;
    int getMeasurements() const { return measurements; }
    // Room for `sets` more results in every measurement.
    void reserve(int sets);
    // The collected data stay with the measurements; nothing to save here.
    void saveAll() {}

private:
    void collect();

    std::unique_ptr<Measurement_*[]> Measurement;
    int32_t measurements;
    int32_t id = 0;
};
