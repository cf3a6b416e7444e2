#pragma once
// One node of a block-text tree: a label, a value and ordered children it
// owns. Every walk over the tree is iterative, so any depth is safe.
#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

class ConfigNode_ {
public:
    // A root: no parent, level 0, empty label and value.
    ConfigNode_();
    // A node one level below `parent` (level 0 when parent is null). It does
    // not add itself to the parent's children.
    explicit ConfigNode_(ConfigNode_* parent);
    // Destroys the whole subtree.
    ~ConfigNode_();
    ConfigNode_(const ConfigNode_&) = delete;
    ConfigNode_& operator=(const ConfigNode_&) = delete;

    const std::string& getLabel() const { return Label; }
    const std::string& getValue() const { return Value; }
    void setLabel(const std::string& label) { Label = label; }
    void setValue(const std::string& value) { Value = value; }
    ConfigNode_* getParent() const { return Parent; }
    int32_t getLevel() const { return level; }

    // Appends `child` and takes ownership of it; its parent and level stay as
    // they are. A null child is ignored.
    void addChild(ConfigNode_* child);
    // Creates a child of this node with the given label and value, appends
    // it and returns it.
    ConfigNode_* addChild(const std::string& label, const std::string& value);

    int getChildren() const { return static_cast<int>(Children.size()); }
    // Child i (0-based), or null when i is out of range.
    ConfigNode_* getChild(int i) const;
    // The first child whose label equals `label` exactly, or null.
    ConfigNode_* getChild(const std::string& label) const;
    // The first child whose value equals `value` exactly, or null.
    ConfigNode_* findChildValue(const std::string& value) const;
    // This node when its label equals `label`, else the first match of a
    // depth-first search of the subtree (children in order), else null.
    ConfigNode_* findChild(const std::string& label);

    // Writes this node and its subtree in block text: level - 1 TABs, the
    // quoted label, a blank and the quoted value, then ";" and LF, or " {",
    // LF, the children, `level` TABs, "}" and LF. Returns whether the stream
    // is still free of errors; stops at the first failure.
    bool write(std::ostream* out) const;

private:
    ConfigNode_* Parent;
    std::vector<ConfigNode_*> Children;
    std::string Label;
    std::string Value;
    int32_t level;
};
