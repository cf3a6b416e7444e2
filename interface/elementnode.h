#pragma once
// Element nodes and element-group nodes: the tree items that build the
// simulation elements a cavity's pulse passes.
//
// One element with p inputs (cavities it stands in) and m instances (places
// it stands in the tree) is a grid of p x m nodes N(i, k). `Inputs` of
// N(i, k) is row k (one node per input, in input order), `Instances` is
// column i; `MasterInstance` is N(i, 0) and `MasterInput` the row's node at
// the master input column c. Only the element master N(c, 0) builds the
// simulation element; every node of the grid reaches it through getMaster().
#include <QList>
#include <QStringList>

#include "core/elementnodelink.h"
#include "interface/node.h"

class CavityNode_;
class ElementGroup_;
class Setup_;

class ElementBaseNode_ : public Node_, public ElementNodeLink_ {
public:
    // Deleting a node deletes the nodes that belong with it: a master input
    // its row, any other node its master input (and so the row); a master
    // instance every other instance of its column. No live node refers to the
    // deleted one afterwards. The element belongs to its setup; it only
    // forgets this node.
    ~ElementBaseNode_() override;

    // Each appends the node unless the list holds it already.
    void addInstance(ElementBaseNode_* node);
    void addInput(ElementBaseNode_* node);
    void addInputType(const QString& label) { InputTypes.append(label); }
    void setMasterInstance(ElementBaseNode_* node) { MasterInstance = node; }
    void setMasterInput(ElementBaseNode_* node) { MasterInput = node; }
    // Replaces every link at once, as an experiment file gives them.
    void setLinks(const QList<ElementBaseNode_*>& inputs, const QStringList& inputTypes,
                  ElementBaseNode_* masterInput, const QList<ElementBaseNode_*>& instances,
                  ElementBaseNode_* masterInstance) {
        Inputs = inputs;
        InputTypes = inputTypes;
        MasterInput = masterInput;
        Instances = instances;
        MasterInstance = masterInstance;
    }
    // Links the freshly made nodes of a new element, one per input in input
    // order, as instance 0 with the first node as master input.
    static void linkNewElement(const QList<ElementBaseNode_*>& inputs);

    // -1 when absent.
    int getInstanceIndex(const ElementBaseNode_* node) const;
    int getInputIndex(const ElementBaseNode_* node) const;
    bool isMasterInput() const { return MasterInput == this; }
    bool isMasterInstance() const { return MasterInstance == this; }
    bool isMaster() const { return isMasterInput() && isMasterInstance(); }
    // The master input of the master instance; null while unlinked.
    ElementBaseNode_* getMaster() const;
    ElementBaseNode_* getMasterInstance() const { return MasterInstance; }
    ElementBaseNode_* getMasterInput() const { return MasterInput; }
    int getInstances() const { return Instances.size(); }
    int getInputs() const { return Inputs.size(); }
    // Null outside the list.
    ElementBaseNode_* getInstance(int i) const { return Instances.value(i); }
    ElementBaseNode_* getInput(int i) const { return Inputs.value(i); }
    // Empty outside the labels.
    QString getInputType(int i) const { return InputTypes.value(i); }

    CavityElement_* getCavityElement() const { return CavityElement; }
    // The element that stands at this node's place in a cavity or group: the
    // master's; null while unlinked or unbuilt.
    CavityElement_* getMasterElement() const;
    // The cavity above instance k of input i; null when either index is
    // outside the lists or no cavity lies above that node.
    CavityNode_* getCavityNode(int i, int k) const;

    // Re-link a fresh copy (this) from the node it was copied from: each
    // partner of the source that lies inside the copied subtree is mapped to
    // its copy, and the two list each other.
    void linkInstances(const Node_& source, const CopyRoots_& roots);
    void linkInputs(const Node_& source, const CopyRoots_& roots);
    // Called on the master instance of an input column with a freshly made
    // node with empty lists: the node becomes the next instance of the
    // column and joins the nodes of its row made so far.
    void linkNewInstance(ElementBaseNode_* node);
    // A new, unplaced instance of the element; the call goes to the master
    // instance.
    virtual ElementBaseNode_* createInstance() = 0;

    Error_& getErrorSource() override { return *this; }
    void unlinkElement(CavityElement_* element) override;

    // The element of the last build; null before it and after it is gone.
    CavityElement_* CavityElement = nullptr;

protected:
    ElementBaseNode_();
    // The kind copy: masters only where the source is its own; each list
    // holds the copy alone until the copy is re-linked.
    ElementBaseNode_(const ElementBaseNode_& source);
    // Itself as its only instance and input, its own master, one label.
    void linkAlone();
    // Empty lists and labels, no masters.
    void clearLinks();

    QList<ElementBaseNode_*> Instances;
    QList<ElementBaseNode_*> Inputs;
    QStringList InputTypes;
    ElementBaseNode_* MasterInput = nullptr;
    ElementBaseNode_* MasterInstance = nullptr;

private:
    enum class List { instances, inputs };
    void relink(const Node_& source, const CopyRoots_& roots, List which);
    // The first other node of the list that is not yet being deleted.
    ElementBaseNode_* nextToDelete(const QList<ElementBaseNode_*>& list) const;
    // Removes every reference that any live node holds to this one.
    void forget();

    bool destroying = false;
};

class ElementNode_ : public ElementBaseNode_ {
public:
    // Unlinked: the caller links it (linkNewElement, the loader).
    ElementNode_();
    ElementNode_(const ElementNode_& source);
    QString getTypeString() const override { return QStringLiteral("CavityElement"); }
    Node_* recursiveCopy() const override;
    // Named after the master instance with "." and its index in the column.
    ElementBaseNode_* createInstance() override;

    // The master's element of the kind its "ElementType" names, every named
    // parameter copied in and bound to the value the element uses (a DFG
    // element is also the element of inputs 1 and 2). A built-in kind comes
    // before a plug-in of the same name. Null for other nodes, and, reported,
    // for an unknown kind or a missing parameter.
    CavityElement_* create(Setup_* setup);
    // The element's condition, once the cavities have bound what it may read.
    bool link() override;

private:
    CavityElement_* createPlugin(Setup_* setup, const QString& kind);
};

class ElementGroupNode_ : public ElementBaseNode_ {
public:
    // Its own master, only instance and only input.
    ElementGroupNode_();
    // As the element copy; the re-link of the copied tree gives it its grid.
    ElementGroupNode_(const ElementGroupNode_& source);
    QString getTypeString() const override { return QStringLiteral("ElementGroup"); }
    Node_* recursiveCopy() const override;
    // Named after the master instance with "." appended.
    ElementBaseNode_* createInstance() override;

    // The master's group element with one slot per member and its
    // "Iterations"; its members' elements are built by their own masters.
    // Null for other nodes.
    ElementGroup_* create(Setup_* setup);
    // Fills the slots with the members' elements, attaches the condition,
    // then links the members.
    bool link() override;

    // Derives the group's inputs from its children, nested groups first: a
    // one-input group adopts the groups that hold the inputs of a
    // multi-input child; differences are logged and change nothing.
    void updateFromChildren();
    // The children that take the group's slots, in order: elements and
    // groups. Others (measurement groups) are left out and logged.
    QList<ElementBaseNode_*> getMembers();

private:
    void setDescription();
    // Each difference between the groups of the child's inputs and this
    // group's inputs is logged.
    void checkInputs(const ElementBaseNode_& child);
    // Takes the groups that hold the child's inputs as this group's inputs;
    // false, logged and nothing changed unless each is a group and this
    // group is one of them.
    bool adoptInputs(const ElementBaseNode_& child);
};
