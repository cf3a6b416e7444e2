#include "interface/cavitynode.h"

#include <QIcon>

#include "core/cavity.h"
#include "core/elements/mbox.h"
#include "core/pulse.h"
#include "core/setup.h"
#include "interface/elementnode.h"
#include "interface/measurementnode.h"
#include "interface/nodebuild.h"
#include "interface/parameter.h"

CavityNode_::CavityNode_() {
    setDescription();
    type = cavity;
    setIcon(0, QIcon(QStringLiteral(":/Icons/resources/fugue/icon/block.png")));
}

CavityNode_::CavityNode_(const CavityNode_& source) : Node_(source), CavityNodeLink_() {
    setDescription();
    setIcon(0, source.icon(0));
}

Node_* CavityNode_::recursiveCopy() const {
    auto* copy = new CavityNode_(*this);
    copy->linkRecursiveCopy(*this);
    return copy;
}

void CavityNode_::setDescription() {
    itemText = QStringLiteral(
        "An optical cavity contains the cavity elements as they are passed by the pulse in one "
        "roundtrip. Note that for a linear caviy the pulse passes the same elements twice. Each "
        "cavity contains exactly one pulse. If you have multiple pulses set up multiple cavities "
        "that share the same elements.");
}

CavityNode_::~CavityNode_() {
    if (Cavity) Cavity->detachNode();
}

void CavityNode_::unlinkCavity(Cavity_* cavity) {
    if (Cavity == cavity) Cavity = nullptr;
}

namespace {
// The element that stands in a child's slot; null for a child of another kind.
CavityElement_* slotElement(Node_* child) {
    if (auto* e = dynamic_cast<ElementBaseNode_*>(child)) return e->getMasterElement();
    if (auto* g = dynamic_cast<MeasurementGroupNode_*>(child)) return g->MBox;
    return nullptr;
}

// Inputs of the element at this child's place; 1 for boxes.
int slotInputs(Node_* child) {
    auto* e = dynamic_cast<ElementBaseNode_*>(child);
    ElementBaseNode_* master = e ? e->getMaster() : nullptr;
    return master ? master->getInputs() : 1;
}
}  // namespace

Cavity_* CavityNode_::create(Setup_* setup) {
    log("Creating Cavity", debugA);
    const char* const names[] = {"InnitialPulseShape", "PulseWavelength", "InnitialPulseEnergy",
                                 "InnitialPulseDuration", "PulseTime", "Pulse", "RecenterPulse"};
    Parameter_* p[7];
    bool complete = true;
    for (int i = 0; i < 7; ++i) complete = (p[i] = NodeBuild::required(*this, names[i])) && complete;
    if (!complete) return nullptr;
    if (p[0]->getValue()->text() != QLatin1String("Gaussian")) {
        NodeBuild::refuse(*this, QStringLiteral("The initial pulse shape \"%1\" is unknown; only "
                                                "\"Gaussian\" makes a pulse.")
                                     .arg(p[0]->getValue()->text()));
        return nullptr;
    }
    const int n = countElements();
    for (int i = 0; i < n; ++i) {
        Node_* child = getChild(i);
        if (slotElement(child)) continue;
        NodeBuild::refuse(*child, QStringLiteral("%1 has no element in cavity %2 in this build.")
                                      .arg(child->text(0), text(0)));
        return nullptr;
    }
    auto* built = new Cavity_(n, setup, this);
    setup->addCavity(built);
    Cavity = built;
    for (int i = 0; i < n; ++i) {
        Node_* child = getChild(i);
        const int inputs = slotInputs(child);
        if (inputs > 1) built->addSharedElement(slotElement(child), inputs);
        else built->addElement(slotElement(child));
    }
    log("      Innitializing pulse for Cavity.", debugA);
    // The duration goes to the pulse generation unchanged, as stored
    // experiments expect of the pulse it makes.
    built->initPulseGaussian(NodeBuild::toDouble(*p[3]), NodeBuild::toDouble(*p[2]),
                             NodeBuild::toDouble(*p[1]));
    optics::pulse_* record = built->getPulse()->get();
    p[1]->setData(&record->omega0);
    p[4]->setData(&record->t);
    p[5]->setData(built->getPulse());
    built->setRecenter(p[6]->getValue()->text() == QLatin1String("true"));
    return built;
}

bool CavityNode_::link() {
    log("Linking Cavity " + text(0).toStdString(), debugA);
    bool linked = true;
    for (int i = 0; Cavity && i < childCount(); ++i) {
        Pulse_** pulses = Cavity->getSlotPulses(i);
        auto* e = dynamic_cast<ElementBaseNode_*>(getChild(i));
        if (!pulses || !e) continue;
        const int n = Cavity->getSlotPulseCount(i);
        if (e->getInputs() != n) {
            linked = NodeBuild::refuse(*e, QStringLiteral("%1 lists %2 inputs, its element %3.")
                                               .arg(e->text(0))
                                               .arg(e->getInputs())
                                               .arg(n));
            continue;
        }
        for (int j = 0; j < n; ++j) {
            CavityNode_* source = e->getCavityNode(j, 0);
            Pulse_* pulse = source && source->Cavity ? source->Cavity->getPulse() : nullptr;
            if (!pulse)
                linked = NodeBuild::refuse(
                    *e, QStringLiteral("Input %1 of %2 stands in no built cavity.").arg(j + 1).arg(e->text(0)));
            pulses[j] = pulse;
        }
    }
    return Node_::link() && linked;
}
