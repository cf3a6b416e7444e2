#pragma once
// One item of the setup tree (setup, cavity, element, element group,
// measurement, measurement group). A node is at once an item of the tree
// widget and a source of the error list, so every report names its node. The
// base holds what all kinds share: the kind, the description, the owned
// parameters, look-ups by name and by "%" path, unique child names, selection
// queries, the nodes that become simulation elements, the deep copy of a
// subtree and the forwarding of errors to the status tab of the node's setup.
// User-interface thread only.
#include <QList>
#include <QString>
#include <QTreeWidgetItem>

#include "interface/error.h"

class Node_;
class Parameter_;
class QTreeWidget;
class QWidget;
class TreeHost_;

// The root of a subtree and the root of its fresh copy.
struct CopyRoots_ {
    const Node_& source;
    Node_& copy;
    // The node of the copy at the same names below the root as `original`
    // below the source root; null for a node outside the source subtree or a
    // name path the copy does not hold.
    Node_* counterpart(const Node_* original) const;
};

class Node_ : public QTreeWidgetItem, public Error_ {
public:
    enum type_ {
        setup = 0,
        cavity = 1,
        element = 2,
        measurement = 3,
        elementgroup = 4,
        measurementgroup = 5,
    };
    // The tree-widget item type of every node.
    static constexpr int itemType = 1000;

    // Outside any tree.
    Node_();
    // Appended to the top level of `tree`.
    explicit Node_(QTreeWidget* tree);
    // Deep copy of the subtree outside any tree: name, flags, kind, unbound
    // copies of the parameters and copies of the children of every kind but
    // setup. Instance and input links come from linkRecursiveCopy.
    Node_(const Node_& source);
    Node_& operator=(const Node_&) = delete;
    // Leaves its tree, deletes the parameters it owns, then the children one
    // by one, so a child whose deletion deletes a later sibling is safe.
    ~Node_() override;

    virtual QString getTypeString() const = 0;
    // A deep copy, re-linked within itself; outside any tree, owned by the caller.
    virtual Node_* recursiveCopy() const = 0;

    type_ getNodeType() const { return type; }
    QString getItemText() const { return itemText; }
    void setItemText(const QString& text) { itemText = text; }
    // The window, through which nodes reach the widgets they live in.
    static void setMainWindow(TreeHost_* host) { MW = host; }
    static TreeHost_* getHost() { return MW; }
    // The parent of dialogs and message boxes; null without a window.
    static QWidget* getMainWindow();

    // Null for a top-level node.
    Node_* getParent() const;
    // Null outside the children.
    Node_* getChild(int i) const;
    // This node or its nearest ancestor of that kind; null when none.
    Node_* getParent(type_ kind);
    // 0 for a setup, else the steps up to the nearest setup; -1 when no setup
    // lies above.
    int getLevel();

    int getParameters() const { return Parameter.size(); }
    // Takes ownership and becomes the parameter's owner.
    void addParameter(Parameter_* parameter);
    // Null outside the list.
    Parameter_* getParameter(int i);
    // Null, with a warning in the log, when the node has none of that name.
    Parameter_* getParameter(const QString& name);
    bool hasParameter(const QString& name) const;
    // The visible parameter shown in that row of the parameter table.
    Parameter_* getParameterRow(int row) const;

    // The names from the top-level node down, joined by "%".
    QString getPath();
    // Each section names a child of the node found so far; a section that
    // names none is passed over. Null when the first names no top-level node.
    Node_* getNodeFromPath(const QString& path);
    // Relative to this node's setup; the empty path names the setup. Null on
    // any miss, and (reported) for a node outside any setup.
    Node_* getNodeFromPathInSetup(const QString& path);
    // The last section names a parameter of the node the others reach.
    Parameter_* getParameterFromPath(const QString& path);
    Parameter_* getParameterFromPathInSetup(const QString& path);

    Node_* findChildNode(const QString& name) const;
    // The first sibling, this node included, with that name.
    Node_* findNodeLocal(const QString& name);
    // The first other sibling with this node's name.
    Node_* findDuplicate();
    // base + "1", base + "2", ...: the first that no child of this node has.
    QString generateUniqueLocal(const QString& base) const;

    // The first selected node of the subtree, pre-order.
    Node_* findSelected();
    static Node_* findSelected(QTreeWidget* tree);
    bool hasSelectedChildren();

    // The nodes of the subtree that build simulation elements of their own:
    // element and group masters, and measurement groups inside a cavity.
    int countElements() const;
    // Stores them in pre-order at list[count], list[count + 1], ...; the
    // caller provides countElements() slots.
    void createElementList(Node_** list, int& count);

    // Called on the root of a fresh copy with the root of its source: every
    // element and group of the copy takes its source's instances and inputs,
    // each mapped to its copy; partners outside the copied subtree are dropped.
    void linkRecursiveCopy(const Node_& source);

    // Before a run: every parameter value of the subtree is valid and every
    // node holds only children its kind allows. The first problem is shown in
    // one box and gives false.
    bool verify();
    // The value check of parameter `index`, without a box; false when there is none.
    bool verify(int index);
    // Whether a node of kind `child` may stand below one of kind `parent`.
    static bool allowsChild(type_ parent, type_ child);

    // Second phase of a run's build, once every element and cavity of the
    // setup exists: each kind wires what needs them; here the children, in
    // order. False when some part could not be wired (reported on its node).
    virtual bool link();
    // Every parameter of the subtree forgets its live field.
    void unbindSubtree();

    // Hands an error filed against this node to its setup's status tab.
    void addLocalError(const QString& message, int code);

protected:
    Parameter_* findParameter(const QString& name) const;
    // Takes the node out of its parent or tree, without signals while the
    // parent is itself leaving; its children stay with it.
    void leaveTree();

    static TreeHost_* MW;

    QString itemText;
    QList<Parameter_*> Parameter;
    type_ type = setup;

private:
    bool selectedInTree() const;
    // The items beside this one: the parent's children or the tree's top level.
    QList<Node_*> siblings(QTreeWidget* topLevel) const;
    // Descends from `start` through the sections from `first` on; a section
    // that names no child is passed over.
    static Node_* descend(Node_* start, const QStringList& sections, int first);
    bool buildsElement() const;
    void relinkCopy(const Node_& source, const CopyRoots_& roots);
};
