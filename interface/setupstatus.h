#pragma once
// The status tab of one setup, as the setup tree uses it: a page for the
// window's status tab widget that lists the errors of the setup's nodes and
// follows the setup's run. A factory makes the tabs, so the full monitoring
// page can replace the plain one here without the tree knowing.
#include <QString>
#include <QWidget>
#include <functional>

class Node_;
class QTreeWidget;
class Setup_;
class SetupNode_;

class SetupStatusSink_ {
public:
    using Factory = std::function<SetupStatusSink_*(QWidget* parent, SetupNode_* node)>;

    virtual ~SetupStatusSink_() = default;
    // The page shown as the tab. The sink and its page live and die together.
    virtual QWidget* getWidget() = 0;
    // One row for an error filed against `source`, a node of the setup.
    virtual void addError(const QString& message, Node_* source, int code) = 0;
    // Follows the setup built for a run.
    virtual void setSetup(Setup_* setup) = 0;
    // Back to idle: no setup, no errors.
    virtual void clearSetup() = 0;

    // A new tab from the installed factory, or a plain one.
    static SetupStatusSink_* create(QWidget* parent, SetupNode_* node);
    // An empty factory restores the plain tab.
    static void setFactory(Factory factory);
};

// The plain tab: the error rows (code, message, source path) of its setup.
class PlainSetupStatus_ : public QWidget, public SetupStatusSink_ {
    Q_OBJECT
public:
    explicit PlainSetupStatus_(QWidget* parent);

    QWidget* getWidget() override { return this; }
    void addError(const QString& message, Node_* source, int code) override;
    void setSetup(Setup_* setup) override;
    void clearSetup() override;

    QTreeWidget* getErrorTree() const { return Errors; }

private:
    QTreeWidget* Errors;
};
