#pragma once
// The top-level node of one setup. It owns the setup's status tab and its
// live-access channel, and is the node the setup's simulation object reports
// against.
#include <QPointer>
#include <memory>

#include "core/setupnodelink.h"
#include "interface/node.h"

class Accessor_;
class Base_;
class QTabWidget;
class Setup_;
class SetupStatusSink_;

class SetupNode_ : public Node_, public SetupNodeLink_ {
public:
    // Appended to the top level of `tree` (none: outside any tree); the status
    // tab joins the window's status tabs under the node's name.
    explicit SetupNode_(QTreeWidget* tree);
    // Copies the subtree outside any tree, with a status tab and a channel
    // of its own; never shares the source's run.
    SetupNode_(const SetupNode_& source);
    // Ends the run of a setup still built from this node and cuts its link
    // back here (the experiment owns the setup); then the channel and the tab go.
    ~SetupNode_() override;

    QString getTypeString() const override { return QStringLiteral("Setup"); }
    // The copy with its instances and inputs re-linked within itself.
    Node_* recursiveCopy() const override;
    // Renaming column 0 renames the status tab too.
    void setData(int column, int role, const QVariant& value) override;

    // Builds the setup for `base`, which takes ownership: the subtree's old
    // bindings dropped first, "Roundtrips", "Roundtrip" and "Samples" bound,
    // "Directory" copied; the status tab follows it. A missing parameter is
    // reported and the setup refused.
    Setup_* create(Base_* base);
    // The cavity children.
    int countCavities() const;
    // The children of the "Measurements" group; 0 without one.
    int countMeasurements() const;
    // The "Measurements" group; null without one.
    Node_* getMeasurementsGroup() const;
    // "Samples" as a decimal integer; 0 when it is none.
    int getSamples() const;
    bool isRunning() const;

    // Null once the tab is gone.
    SetupStatusSink_* getSetupStatusWidget() const {
        return StatusPage ? SetupStatusWidget : nullptr;
    }

    Error_& getErrorSource() override { return *this; }
    Accessor_* getAccessor() override { return Accessor.get(); }
    // Also unbinds the subtree: its live fields go with the setup.
    void disconnectSetup() override;

    // The simulation object of the last build; null before and after it.
    Setup_* Setup = nullptr;

private:
    static QTabWidget* statusTabs();
    void setDescription();
    // A status tab titled with the node's name, and the live-access channel.
    void openStatusTab();

    SetupStatusSink_* SetupStatusWidget;
    // Guards against a tab deleted with its tab widget before the node.
    QPointer<QWidget> StatusPage;
    std::unique_ptr<Accessor_> Accessor;
};
