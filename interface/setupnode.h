#pragma once
// The top-level node of one setup. It owns the setup's status tab and its
// live-access channel, and is the node the setup's simulation object reports
// against.
#include <QPointer>
#include <memory>

#include "core/setupnodelink.h"
#include "interface/node.h"

class Accessor_;
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

    // Null once the tab is gone.
    SetupStatusSink_* getSetupStatusWidget() const {
        return StatusPage ? SetupStatusWidget : nullptr;
    }

    Error_& getErrorSource() override { return *this; }
    Accessor_* getAccessor() override { return Accessor.get(); }
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
