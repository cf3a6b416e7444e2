#include "interface/experimentfile.h"

#include <QIcon>
#include <QSet>
#include <QStringList>
#include <QTextCodec>
#include <QTreeWidget>
#include <QVector>

#include "confignode.h"
#include "interface/cavitynode.h"
#include "interface/elementnode.h"
#include "interface/measurementnode.h"
#include "interface/measurementrow.h"
#include "interface/parameter.h"
#include "interface/setupnode.h"

namespace {
// Deeper nesting than any setup needs; it bounds the recursion of reading,
// verifying and deleting a tree.
constexpr int maxDepth = 64;
// Array parameters: most axes, and most samples in all, so that sizes in
// bytes stay within an int.
constexpr int maxDimension = 16;
constexpr qint64 maxTotalSamples = qint64(1) << 26;

const char* const linkLabels[] = {"MasterInput", "Inputs", "MasterInstance", "Instances"};
const char* const requiredKeys[] = {"Value", "Text", "DataType", "Visible", "Measurable", "Editable",
                                    "HotChangeable"};

bool isLinkLabel(const std::string& label) {
    for (const char* l : linkLabels)
        if (label == l) return true;
    return false;
}

const char* flag(bool on) { return on ? "true" : "false"; }

bool isTrue(const ConfigNode_* key) { return key && key->getValue() == "true"; }

void makeEditable(QTreeWidgetItem* item) { item->setFlags(item->flags() | Qt::ItemIsEditable); }

// A whole number as the file writes it; any other text counts as 0.
qint64 number(const QString& text) {
    bool ok = false;
    const qint64 n = text.trimmed().toLongLong(&ok);
    return ok ? n : 0;
}
}  // namespace

std::string ExperimentFile_::encode(const QString& text) { return text.toUtf8().toStdString(); }

QString ExperimentFile_::decode(const std::string& text) {
    static QTextCodec* const utf8 = QTextCodec::codecForName("UTF-8");
    QTextCodec::ConverterState state(QTextCodec::ConvertInvalidToNull);
    const QString decoded = utf8->toUnicode(text.data(), static_cast<int>(text.size()), &state);
    return state.invalidChars == 0 ? decoded : QString::fromLatin1(text.data(), static_cast<int>(text.size()));
}

bool ExperimentFile_::fail(const QString& why) {
    if (failure.isEmpty()) failure = why;
    return false;
}

Node_* ExperimentFile_::createNode(const std::string& type) {
    Node_* node = nullptr;
    if (type == "MeasurementGroup") node = new MeasurementGroupNode_;
    else if (type == "ElementGroup") node = new ElementGroupNode_;
    else if (type == "Cavity") node = new CavityNode_;
    else if (type == "Measurement") node = new MeasurementNode_;
    else if (type == "CavityElement") node = new ElementNode_;
    if (node) makeEditable(node);
    return node;
}

Node_* ExperimentFile_::resolve(const QString& path) const {
    const QStringList names = path.split('%');
    Node_* node = nullptr;
    for (Node_* top : tops)
        if (top->text(0) == names.first()) {
            node = top;
            break;
        }
    for (int i = 1; node && i < names.size(); ++i) {
        Node_* next = nullptr;
        for (int c = 0; c < node->childCount() && !next; ++c)
            if (node->child(c)->text(0) == names[i]) next = node->getChild(c);
        node = next;
    }
    return node;
}

// ---- Saving

bool ExperimentFile_::copySetupTree(QTreeWidget* tree, ConfigNode_* root, const QString& version,
                                    QString* problem) {
    tops.clear();
    failure.clear();
    for (int i = 0; i < tree->topLevelItemCount(); ++i)
        if (auto* setup = dynamic_cast<Node_*>(tree->topLevelItem(i))) tops << setup;
    for (Node_* setup : tops) traverseSetupTree(setup, root->addChild("Setup", encode(setup->text(0))));
    root->addChild("Version", encode(version));
    tops.clear();
    if (problem) *problem = failure;
    return failure.isEmpty();
}

void ExperimentFile_::traverseSetupTree(Node_* node, ConfigNode_* entry) {
    log("Traversing Setup Tree: " + encode(node->text(0)), debugA);
    log("Adding " + std::to_string(node->getParameters()) + " parameters.", debugD);
    if (auto* element = dynamic_cast<ElementBaseNode_*>(node)) {
        // Each link is written as a path that must name its node again.
        const auto path = [this, element](ElementBaseNode_* target) {
            const QString p = target ? target->getPath() : QString();
            if (!target || resolve(p) != target)
                fail("The links of " + element->getPath() + " cannot be stored: " +
                     (target ? "the path " + p + " would name another item (a name holding \"%\" or "
                                                 "one its siblings share)."
                             : QStringLiteral("a master is missing.")));
            return encode(p);
        };
        entry->addChild("MasterInput", path(element->getMasterInput()));
        ConfigNode_* inputs = entry->addChild("Inputs", std::to_string(element->getInputs()));
        for (int i = 0; i < element->getInputs(); ++i)
            inputs->addChild(encode(element->getInputType(i)), path(element->getInput(i)));
        entry->addChild("MasterInstance", path(element->getMasterInstance()));
        ConfigNode_* instances = entry->addChild("Instances", std::to_string(element->getInstances()));
        for (int i = 0; i < element->getInstances(); ++i) instances->addChild(path(element->getInstance(i)), "");
    }
    for (int i = 0; i < node->getParameters(); ++i) {
        Parameter_* p = node->getParameter(i);
        log("Adding Parameter " + std::to_string(i) + ":", debugD);
        log("Name: " + encode(p->getName()->text()), debugD);
        log("Value: " + encode(p->getValue()->text()), debugD);
        ConfigNode_* e = entry->addChild("Parameter", encode(p->getName()->text()));
        e->addChild("Value", encode(p->getValue()->text()));
        e->addChild("Text", encode(p->getText()->text()));
        e->addChild("DataType", encode(p->getTypeString()));
        e->addChild("Visible", flag(p->getVisible()));
        e->addChild("Measurable", flag(p->getMeasurable()));
        e->addChild("Editable", flag(p->getEditable()));
        e->addChild("Expression", flag(p->isExpression()));
        e->addChild("HotChangeable", flag(p->getHotChangeable()));
        e->addChild("Dimension", std::to_string(p->getDimension()));
        QStringList samples;
        for (int d = 0; d < p->getDimension(); ++d) samples << QString::number(p->getSamples()[d]);
        e->addChild("Samples", encode(samples.join(", ")));
    }
    for (int i = 0; i < node->childCount(); ++i) {
        Node_* child = node->getChild(i);
        if (!child) continue;
        log("Adding Child " + std::to_string(i) + ":", debugD);
        log("Name: " + encode(child->getTypeString()), debugD);
        log("Value: " + encode(child->text(0)), debugD);
        traverseSetupTree(child, entry->addChild(encode(child->getTypeString()), encode(child->text(0))));
    }
}

// ---- Loading

bool ExperimentFile_::readVersion(ConfigNode_* root, QString* version) {
    const ConfigNode_* entry = root->getChild("Version");
    if (entry && version) *version = decode(entry->getValue());
    return entry != nullptr;
}

bool ExperimentFile_::readSetups(ConfigNode_* root, QList<SetupNode_*>* setups, QString* problem) {
    tops.clear();
    linked.clear();
    failure.clear();
    bool ok = true;
    for (int i = 0; ok && i < root->getChildren(); ++i) {
        ConfigNode_* entry = root->getChild(i);
        log(std::to_string(i) + ":" + entry->getLabel(), debugC);
        if (entry->getLabel() != "Setup") continue;
        log("Handling Setup: child " + std::to_string(i), debugC);
        auto* setup = new SetupNode_(nullptr);
        setup->setText(0, decode(entry->getValue()));
        makeEditable(setup);
        tops << setup;
        ok = traverseConfigTree(entry, setup, 1);
    }
    // Links are resolved once every setup exists, so a link into a later
    // setup is kept too.
    for (int i = 0; ok && i < linked.size(); ++i) ok = traverseConfigTreeConnect(linked[i].first, linked[i].second);
    linked.clear();
    if (!ok) {
        qDeleteAll(tops);
        tops.clear();
        if (problem) *problem = failure;
        return false;
    }
    for (Node_* top : tops) *setups << static_cast<SetupNode_*>(top);
    tops.clear();
    return true;
}

bool ExperimentFile_::traverseConfigTree(ConfigNode_* entry, Node_* node, int depth) {
    log("Traversing config tree.", debugC);
    for (int i = 0; i < entry->getChildren(); ++i) {
        ConfigNode_* c = entry->getChild(i);
        const std::string& label = c->getLabel();
        if (label == "Parameter") {
            if (!readParameter(c, node)) return false;
            continue;
        }
        if (isLinkLabel(label)) continue;
        Node_* child = createNode(label);
        if (!child)
            return fail("The entry \"" + decode(label) + "\" in " + node->getPath() + " names no kind of item.");
        log("Creating Node: " + c->getValue(), debugC);
        child->setText(0, decode(c->getValue()));
        node->addChild(child);
        if (node->getNodeType() == Node_::setup && child->text(0) == QLatin1String("Measurements"))
            child->setFlags(child->flags() & ~Qt::ItemIsEditable);
        if (depth >= maxDepth)
            return fail("The items in " + node->getPath() + " are nested deeper than " +
                        QString::number(maxDepth) + " levels.");
        if (auto* element = dynamic_cast<ElementBaseNode_*>(child)) linked << qMakePair(c, element);
        // The measurement's row in the data tree shows its name and path.
        if (auto* measurement = dynamic_cast<MeasurementNode_*>(child))
            if (MeasurementRow_* row = measurement->getMeasurementTreeNode()) row->refreshInfo();
        if (!traverseConfigTree(c, child, depth + 1)) return false;
    }
    return true;
}

bool ExperimentFile_::readParameter(ConfigNode_* entry, Node_* node) {
    const QString name = decode(entry->getValue());
    const QString where = "The parameter " + name + " of " + node->getPath();
    for (const char* key : requiredKeys)
        if (!entry->getChild(key)) return fail(where + " has no \"" + key + "\" entry.");
    const DataType_ type(decode(entry->getChild("DataType")->getValue()));
    if (type == DataType_::undefined) return fail(where + " has an unknown data type.");

    const ConfigNode_* dimensionKey = entry->getChild("Dimension");
    const qint64 dimension = dimensionKey ? number(decode(dimensionKey->getValue())) : 0;
    if (dimension < 0 || dimension > maxDimension)
        return fail(where + " has " + QString::number(dimension) + " axes; it may have 0 to " +
                    QString::number(maxDimension) + ".");
    if (type == DataType_::pulse && dimension < 1) return fail(where + " is a pulse without axes.");
    QVector<int> samples;
    if (dimension > 0) {
        const ConfigNode_* samplesKey = entry->getChild("Samples");
        if (!samplesKey) return fail(where + " has no \"Samples\" entry.");
        const QStringList items = decode(samplesKey->getValue()).split(',');
        qint64 total = 1;
        for (int d = 0; d < dimension; ++d) {
            const qint64 n = d < items.size() ? number(items[d]) : 0;
            if (n < 0) return fail(where + " has a negative sample count.");
            total *= n;
            if (total > maxTotalSamples)
                return fail(where + " has more than " + QString::number(maxTotalSamples) + " samples.");
            samples << static_cast<int>(n);
        }
    }

    auto* p = new Parameter_(type.get(), static_cast<int>(dimension), samples.isEmpty() ? nullptr : samples.data());
    p->setName(name);
    p->setValue(decode(entry->getChild("Value")->getValue()));
    p->setText(decode(entry->getChild("Text")->getValue()));
    p->setVisible(isTrue(entry->getChild("Visible")));
    p->setMeasurable(isTrue(entry->getChild("Measurable")));
    p->setHotChangeable(isTrue(entry->getChild("HotChangeable")));
    p->setEditable(isTrue(entry->getChild("Editable")));
    p->troggleExpression(isTrue(entry->getChild("Expression")));
    node->addParameter(p);
    return true;
}

ElementBaseNode_* ExperimentFile_::resolveElement(const std::string& path, const char* link,
                                                  ElementBaseNode_* node) {
    auto* target = dynamic_cast<ElementBaseNode_*>(resolve(decode(path)));
    if (!target)
        fail("The link \"" + QString::fromLatin1(link) + "\" of " + node->getPath() + " names no element: " +
             decode(path) + ".");
    return target;
}

// Each element lists itself among its inputs and instances, its masters are
// among them, and no node is listed twice: what the program's own links
// always are.
bool ExperimentFile_::traverseConfigTreeConnect(ConfigNode_* entry, ElementBaseNode_* node) {
    ConfigNode_* keys[4];
    for (int k = 0; k < 4; ++k)
        if (!(keys[k] = entry->getChild(linkLabels[k])))
            return fail(node->getPath() + " has no \"" + linkLabels[k] + "\" entry.");
    ElementBaseNode_* masterInput = resolveElement(keys[0]->getValue(), linkLabels[0], node);
    ElementBaseNode_* masterInstance = resolveElement(keys[2]->getValue(), linkLabels[2], node);
    QList<ElementBaseNode_*> inputs;
    QStringList inputTypes;
    for (int i = 0; i < keys[1]->getChildren(); ++i) {
        inputs << resolveElement(keys[1]->getChild(i)->getValue(), linkLabels[1], node);
        inputTypes << decode(keys[1]->getChild(i)->getLabel());
    }
    QList<ElementBaseNode_*> instances;
    for (int i = 0; i < keys[3]->getChildren(); ++i)
        instances << resolveElement(keys[3]->getChild(i)->getLabel(), linkLabels[3], node);
    if (!failure.isEmpty()) return false;
    const auto wellFormed = [node](const QList<ElementBaseNode_*>& list, ElementBaseNode_* master) {
        return list.contains(node) && list.contains(master) &&
               QSet<ElementBaseNode_*>(list.begin(), list.end()).size() == list.size();
    };
    if (!wellFormed(inputs, masterInput) || !wellFormed(instances, masterInstance))
        return fail("The links of " + node->getPath() +
                    " do not fit together: an element lists itself and its masters once each "
                    "among its inputs and its instances.");
    node->setLinks(inputs, inputTypes, masterInput, instances, masterInstance);
    if (masterInstance != node)
        node->setIcon(0, QIcon(node->getNodeType() == Node_::elementgroup
                                   ? QStringLiteral(":/Icons/resources/fugue/icon/box_disable.png")
                                   : QStringLiteral(":/Icons/resources/fugue/icon/puzzle_disable.png")));
    return true;
}
