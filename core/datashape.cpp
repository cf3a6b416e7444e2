#include "core/datashape.h"

#include <cstddef>
#include <cstring>
#include <string>

#include "core/pulse.h"

DataShape_::DataShape_(DataType_ const& type, int const& dimension_, int const* extents)
    : Type(type), dimension(dimension_), totalSamples(1), baseSampleSize(-1), layout(Layout::none) {
    if (dimension > 0) {
        if (extents) samples.assign(extents, extents + dimension);
        else samples.assign(static_cast<std::size_t>(dimension), 0);
    }
    if (Type == DataType_::pulse && dimension < 1)
        logError("FATAL in DataShape_::DataShape_: Attempt to create pulse of dimension " +
                     std::to_string(dimension),
                 fatal, standard);
    computeLayout();
}

DataShape_::DataShape_(DataShape_ const& other)
    : Logger_(other),
      Type(other.Type),
      dimension(other.dimension),
      samples(other.samples),
      totalSamples(1),
      baseSampleSize(-1),
      layout(Layout::none) {
    computeLayout();
}

void DataShape_::computeLayout() {
    totalSamples = 1;
    for (int32_t s : samples) totalSamples *= s;
    if (Type == DataType_::pulse) {
        if (dimension == 1) {
            layout = Layout::onePulse;
            baseSampleSize = sizeof(Pulse_);
        } else if (dimension > 1) {
            layout = Layout::pulseHandles;
            baseSampleSize = sizeof(Pulse_*);
        } else {
            layout = Layout::none;
            baseSampleSize = -1;
        }
        return;
    }
    baseSampleSize = Type.size();
    layout = baseSampleSize > 0 ? Layout::plain : Layout::none;
}

DataType_ DataShape_::getSubType() const {
    return Type == DataType_::pulse ? DataType_(DataType_::complex) : Type;
}

int DataShape_::getSetSize(int n) const {
    if (n > dimension) n = dimension;
    int size = baseSampleSize;
    for (int k = 0; k < n; ++k) size *= samples[k];
    return size;
}

int DataShape_::matchDimension(int const& d, DataShape_ const& other) const {
    return dimension - other.dimension + d;
}

// Pulses per block: s1*s2*... for handle arrays (not totalSamples/s0, which
// fails for s0 = 0).
int DataShape_::pulseCount() const {
    int n = 1;
    for (std::size_t k = 1; k < samples.size(); ++k) n *= samples[k];
    return n > 0 ? n : 0;
}

int DataShape_::entryCount() const {
    switch (layout) {
        case Layout::plain: return totalSamples > 0 ? totalSamples : 0;
        case Layout::onePulse: return 1;
        case Layout::pulseHandles: return pulseCount();
        default: return 0;
    }
}

// The entry an index vector selects; for pulse shapes i0 is left out, as it
// numbers the samples inside the pulse.
int DataShape_::position(int const* index) const {
    if (!index) return 0;
    const int first = layout == Layout::plain ? 0 : 1;
    int pos = 0;
    int stride = 1;
    for (int k = first; k < dimension; ++k) {
        pos += index[k] * stride;
        stride *= samples[k];
    }
    return pos;
}

Pulse_* DataShape_::pulseAt(void const* entry) const {
    if (!entry) return nullptr;
    if (layout == Layout::onePulse) return static_cast<Pulse_*>(const_cast<void*>(entry));
    if (layout == Layout::pulseHandles) return *static_cast<Pulse_* const*>(entry);
    return nullptr;
}

void DataShape_::assignPulse(Pulse_& target, Pulse_ const& source) {
    if (target.getSamples() != source.getSamples())
        logError("Pulse sizes are not matching in DataShape_::copyFromData().", normal, standard);
    target = source;
}

void* DataShape_::getSample(int const* index, void* block) const {
    if (!block || layout == Layout::none) return nullptr;
    return static_cast<char*>(block) + static_cast<std::ptrdiff_t>(position(index)) * baseSampleSize;
}

void* DataShape_::getSample(int const& i, void* block) const {
    if (!block || layout == Layout::none) return nullptr;
    if (layout != Layout::plain && (i < 0 || i >= entryCount())) return nullptr;
    return static_cast<char*>(block) + static_cast<std::ptrdiff_t>(i) * baseSampleSize;
}

void DataShape_::setSample(int const* index, void* block, void* value) {
    storeSample(getSample(index, block), value);
}

void DataShape_::setSample(int const& i, void* block, void* value) {
    storeSample(getSample(i, block), value);
}

void DataShape_::storeSample(void* entry, void* value) {
    if (!entry || !value) return;
    if (layout == Layout::plain) {
        std::memcpy(entry, value, static_cast<std::size_t>(baseSampleSize));
        return;
    }
    Pulse_* target = pulseAt(entry);
    const Pulse_* source = pulseAt(value);
    if (target && source) assignPulse(*target, *source);
}

void* DataShape_::getSubSample(int const* index, void* block) const {
    void* entry = getSample(index, block);
    if (layout == Layout::plain || !entry) return entry;
    Pulse_* p = pulseAt(entry);
    const int i0 = index ? index[0] : 0;
    if (!p || i0 < 0 || i0 >= p->getSamples()) return nullptr;
    return p->getSamplePointer(i0);
}

void DataShape_::setSubSample(int const* index, void* block, void* value) {
    void* element = getSubSample(index, block);
    if (element && value)
        std::memcpy(element, value, static_cast<std::size_t>(getSubType().size()));
}

void* DataShape_::allocateData() const {
    switch (layout) {
        case Layout::plain:
            return new char[static_cast<std::size_t>(entryCount()) * baseSampleSize];
        case Layout::onePulse: return new Pulse_(samples[0], nullptr);
        case Layout::pulseHandles: {
            const int n = pulseCount();
            Pulse_** handles = new Pulse_*[static_cast<std::size_t>(n)];
            for (int k = 0; k < n; ++k) handles[k] = new Pulse_(samples[0], nullptr);
            return handles;
        }
        default: return nullptr;
    }
}

void* DataShape_::copyData(void const* source) const {
    if (!source) return nullptr;
    switch (layout) {
        case Layout::plain: {
            const std::size_t bytes = static_cast<std::size_t>(entryCount()) * baseSampleSize;
            char* block = new char[bytes];
            std::memcpy(block, source, bytes);
            return block;
        }
        case Layout::onePulse: return new Pulse_(*static_cast<Pulse_ const*>(source));
        case Layout::pulseHandles: {
            const int n = pulseCount();
            Pulse_* const* from = static_cast<Pulse_* const*>(source);
            Pulse_** handles = new Pulse_*[static_cast<std::size_t>(n)];
            for (int k = 0; k < n; ++k) handles[k] = from[k] ? new Pulse_(*from[k]) : nullptr;
            return handles;
        }
        default: return nullptr;
    }
}

void DataShape_::copyData(void* target, void const* source) {
    if (!target || !source || target == source) return;
    switch (layout) {
        case Layout::plain:
            std::memcpy(target, source, static_cast<std::size_t>(entryCount()) * baseSampleSize);
            break;
        case Layout::onePulse:
            assignPulse(*static_cast<Pulse_*>(target), *static_cast<Pulse_ const*>(source));
            break;
        case Layout::pulseHandles: {
            Pulse_** to = static_cast<Pulse_**>(target);
            Pulse_* const* from = static_cast<Pulse_* const*>(source);
            for (int k = 0; k < pulseCount(); ++k)
                if (to[k] && from[k]) assignPulse(*to[k], *from[k]);
            break;
        }
        default: break;
    }
}

void DataShape_::freeData(void* block) const {
    if (!block) return;
    switch (layout) {
        case Layout::plain: delete[] static_cast<char*>(block); break;
        case Layout::onePulse: delete static_cast<Pulse_*>(block); break;
        case Layout::pulseHandles: {
            Pulse_** handles = static_cast<Pulse_**>(block);
            for (int k = 0; k < pulseCount(); ++k) delete handles[k];
            delete[] handles;
            break;
        }
        default: break;
    }
}

namespace {
// A pulse object, its record and its sample arrays.
std::size_t pulseBytes(const Pulse_* p) {
    if (!p) return 0;
    const optics::pulse_& r = *p->get();
    return sizeof(Pulse_) + sizeof(optics::pulse_) +
           sizeof(optics::complex_) * static_cast<std::size_t>(r.envelope.size() + r.u.size() + r.v.size());
}
}  // namespace

std::size_t DataShape_::heldBytes(void const* block) const {
    if (!block) return 0;
    switch (layout) {
        case Layout::plain: return static_cast<std::size_t>(entryCount()) * static_cast<std::size_t>(baseSampleSize);
        case Layout::onePulse: return pulseBytes(static_cast<const Pulse_*>(block));
        case Layout::pulseHandles: {
            const Pulse_* const* handles = static_cast<const Pulse_* const*>(block);
            std::size_t bytes = sizeof(Pulse_*) * static_cast<std::size_t>(pulseCount());
            for (int k = 0; k < pulseCount(); ++k) bytes += pulseBytes(handles[k]);
            return bytes;
        }
        default: return 0;
    }
}
