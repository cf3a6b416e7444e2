#include "confignode.h"

#include <utility>

ConfigNode_::ConfigNode_() : Parent(nullptr), level(0) {}

ConfigNode_::ConfigNode_(ConfigNode_* parent)
    : Parent(parent), level(parent != nullptr ? parent->level + 1 : 0) {}

ConfigNode_::~ConfigNode_() {
    // Detach every descendant before deleting it, so each delete is shallow
    // and no depth of nesting can exhaust the stack.
    std::vector<ConfigNode_*> pending = std::move(Children);
    while (!pending.empty()) {
        ConfigNode_* node = pending.back();
        pending.pop_back();
        pending.insert(pending.end(), node->Children.begin(), node->Children.end());
        node->Children.clear();
        delete node;
    }
}

void ConfigNode_::addChild(ConfigNode_* child) {
    if (child != nullptr) Children.push_back(child);
}

ConfigNode_* ConfigNode_::addChild(const std::string& label, const std::string& value) {
    auto* child = new ConfigNode_(this);
    child->Label = label;
    child->Value = value;
    Children.push_back(child);
    return child;
}

ConfigNode_* ConfigNode_::getChild(int i) const {
    if (i < 0 || i >= getChildren()) return nullptr;
    return Children[static_cast<size_t>(i)];
}

ConfigNode_* ConfigNode_::getChild(const std::string& label) const {
    for (ConfigNode_* child : Children)
        if (child->Label == label) return child;
    return nullptr;
}

ConfigNode_* ConfigNode_::findChildValue(const std::string& value) const {
    for (ConfigNode_* child : Children)
        if (child->Value == value) return child;
    return nullptr;
}

ConfigNode_* ConfigNode_::findChild(const std::string& label) {
    std::vector<ConfigNode_*> pending{this};
    while (!pending.empty()) {
        ConfigNode_* node = pending.back();
        pending.pop_back();
        if (node->Label == label) return node;
        pending.insert(pending.end(), node->Children.rbegin(), node->Children.rend());
    }
    return nullptr;
}

namespace {

void writeTabs(std::ostream& out, int32_t count) {
    if (count > 0) out << std::string(static_cast<size_t>(count), '\t');
}

}  // namespace

bool ConfigNode_::write(std::ostream* out) const {
    // Nodes whose block is open, each with the index of its next child.
    std::vector<std::pair<const ConfigNode_*, size_t>> open;
    const ConfigNode_* node = this;
    for (;;) {
        if (node != nullptr) {
            writeTabs(*out, node->level - 1);
            *out << '"' << node->Label << "\" \"" << node->Value << '"';
            if (node->Children.empty()) {
                *out << ";\n";
            } else {
                *out << " {\n";
                open.emplace_back(node, 0);
            }
            if (!out->good()) return false;
        }
        if (open.empty()) return true;
        auto& [block, next] = open.back();
        if (next < block->Children.size()) {
            node = block->Children[next++];
        } else {
            writeTabs(*out, block->level);
            *out << "}\n";
            open.pop_back();
            if (!out->good()) return false;
            node = nullptr;
        }
    }
}
