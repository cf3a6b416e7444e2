#pragma once
// Builds an experiment from the setup tree: one setup per top-level setup
// node, in tree order. Elements first (each master once), then the cavities,
// then the links (shared pulses, boxes' measurements, conditions), then the
// measurements of the "Measurements" group. A setup whose build fails in any
// part is reported against the failing node and never started; the other
// setups are not affected.
#include <QVector>

#include "core/base.h"

class QTreeWidget;
class SetupNode_;
class TreeHost_;

class TreeBuilder_ : public SetupBuilder_ {
public:
    explicit TreeBuilder_(QTreeWidget* tree);
    // Builds the host's tree into `base`; nothing while it runs.
    static void build(Base_& base, TreeHost_& host);

    int getSetups() override;
    Setup_* createSetup(int i, Base_* base) override;
    void addElements(int i, Setup_* setup) override;
    int getChildren(int i) override;
    bool isCavity(int i, int child) override;
    void addCavity(int i, int child, Setup_* setup) override;
    void link(int i) override;
    void addMeasurement(int i, int j, Setup_* setup) override;

private:
    // Refuses setup i once, whatever failed.
    void fail(int i);

    QVector<SetupNode_*> Nodes;
    QVector<Setup_*> Setups;
};
