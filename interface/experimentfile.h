#pragma once
// The entries of an experiment file: the setup tree as a block-text tree and
// back. Every setup with its cavities, element groups, elements, measurement
// groups and measurements, every parameter with its flags, and the input and
// instance links of element nodes, which are written as "%" paths.
//
// Text is stored as UTF-8, so a file of plain ASCII is the same byte for byte
// as an 8-bit one, and no character is lost; a label or value that is not
// valid UTF-8 is read as Latin-1, as 8-bit files of older writers hold it.
//
// Reading is all or nothing: the setups are built outside any tree and
// handed over only when the whole file made sense; otherwise none is kept
// and the problem says why.
#include <QList>
#include <QPair>
#include <QString>
#include <string>

#include "logger.h"

class ConfigNode_;
class ElementBaseNode_;
class Node_;
class QTreeWidget;
class SetupNode_;

class ExperimentFile_ : public Logger_ {
public:
    // Fills `root` with one "Setup" entry per top-level item of `tree` and the
    // "Version" entry. False, with `problem` set, when a link would not name
    // its node again on reading (a name holding "%", or one shared with an
    // earlier sibling on the way).
    bool copySetupTree(QTreeWidget* tree, ConfigNode_* root, const QString& version, QString* problem);

    // The version the file names; false when it names none.
    static bool readVersion(ConfigNode_* root, QString* version);
    // The setups of the file, outside any tree, in file order; the caller
    // takes them over. False, with none made and `problem` set, when an entry
    // is missing, malformed or names no node.
    bool readSetups(ConfigNode_* root, QList<SetupNode_*>* setups, QString* problem);

    // A new, parentless node of the kind the type string names, or null.
    static Node_* createNode(const std::string& type);

    static std::string encode(const QString& text);
    static QString decode(const std::string& text);

private:
    void traverseSetupTree(Node_* node, ConfigNode_* entry);
    bool traverseConfigTree(ConfigNode_* entry, Node_* node, int depth);
    bool traverseConfigTreeConnect(ConfigNode_* entry, ElementBaseNode_* node);
    bool readParameter(ConfigNode_* entry, Node_* node);
    // The node at a "%" path among the setups read (or written), each
    // section naming a child exactly; null on any miss.
    Node_* resolve(const QString& path) const;
    ElementBaseNode_* resolveElement(const std::string& path, const char* link, ElementBaseNode_* node);
    bool fail(const QString& why);

    QList<Node_*> tops;
    // Element nodes with the entry that holds their links, in file order.
    QList<QPair<ConfigNode_*, ElementBaseNode_*>> linked;
    QString failure;
};
