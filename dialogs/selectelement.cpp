#include "dialogs/selectelement.h"

#include <QPushButton>
#include <QSet>
#include <QStandardItemModel>
#include <algorithm>

#include "configfile.h"
#include "dialogs/comboboxdelegate.h"
#include "dialogs/manageplugins.h"
#include "interface/elementnode.h"
#include "interface/messagebox.h"
#include "interface/parameter.h"
#include "mainwindow.h"

const char* const SelectElement::newCavity = "New Cavity";
const char* const SelectElement::atBeginning = "Place at the beginning.";
const char* const SelectElement::atEnd = "Place at the end.";

namespace {
QString text(const std::string& s) { return QString::fromStdString(s); }

bool isContainer(const Node_* n) {
    return n && (n->getTypeString() == "Cavity" || n->getTypeString() == "ElementGroup");
}

Parameter_* addParameter(Node_* node, DataType_::type_ type, const QString& name, const QString& description,
                         const QString& value) {
    auto* p = new Parameter_(type, 0, nullptr);
    p->setName(name);
    p->setText(description);
    p->setValue(value);
    node->addParameter(p);
    return p;
}

// The kind's parameter set of that name, or null.
ConfigNode_* parameterSet(const ConfigNode_* kind, const QString& name) {
    for (int i = 0; kind && i < kind->getChildren(); ++i) {
        ConfigNode_* c = kind->getChild(i);
        if (c->getLabel() == "ParameterSet" && text(c->getValue()) == name) return c;
    }
    return nullptr;
}
}  // namespace

SelectElement::SelectElement(ConfigFile_* F, QWidget* parent) : QDialog(parent) {
    setupUi(this);
    connect(elementType, &QListWidget::itemClicked, this, &SelectElement::selectElement);
    connect(elementParameters, &QListWidget::itemClicked, this, &SelectElement::selectParameters);
    connect(setupBox, QOverload<int>::of(&QComboBox::currentIndexChanged), this, &SelectElement::selectSetup);
    Model = new QStandardItemModel;
    Model->setColumnCount(3);
    InputList->setModel(Model);
    connect(Model, &QStandardItemModel::itemChanged, this, &SelectElement::selectCavity);

    MW = qobject_cast<MainWindow*>(parent);
    CavityDelegate = new ComboBoxDelegate(nullptr, nullptr);
    PositionDelegate = new ComboBoxDelegate(nullptr, nullptr);
    InputList->setItemDelegateForColumn(1, CavityDelegate);
    InputList->setItemDelegateForColumn(2, PositionDelegate);

    QTreeWidget* tree = MW ? MW->treeWidget : nullptr;
    SelectedNode = tree ? Node_::findSelected(tree) : nullptr;
    for (int i = 0; tree && i < tree->topLevelItemCount(); ++i) {
        auto* setup = dynamic_cast<Node_*>(tree->topLevelItem(i));
        setupBox->addItem(tree->topLevelItem(i)->text(0));
        if (setup && (setup->isSelected() || setup->hasSelectedChildren())) setupBox->setCurrentIndex(i);
    }

    ConfigFile = F;
    ConfigNode_* root = ConfigFile ? ConfigFile->getRoot() : nullptr;
    for (int i = 0; root && i < root->getChildren(); ++i)
        elementType->addItem(text(root->getChild(i)->getValue()));
    if (ManagePlugins* plugins = registry()) {
        log(std::to_string(plugins->getPlugins()) + " plugins ", debugA);
        // A plug-in named like a catalogue kind is that kind: listed once.
        for (int i = 0; i < plugins->getPlugins(); ++i) {
            const pluginData d = plugins->getPlugin(i);
            if (plugins->isValidPlugin(d) && elementType->findItems(d.Name, Qt::MatchExactly).isEmpty())
                elementType->addItem(d.Name);
        }
    }

    selectSetup(setupBox->currentIndex());
    if (elementType->count() > 0) {
        elementType->setCurrentRow(0);
        selectElement(elementType->item(0));
    }
    constructionComplete = true;
    refreshInputList();
}

SelectElement::~SelectElement() {
    InputList->setModel(nullptr);
    delete CavityDelegate;
    delete PositionDelegate;
    delete Model;
    discardCreatedNodes();
}

// The nodes of one element delete each other: the first deletion takes all.
// Once the caller holds one of them, the rest go with it.
void SelectElement::discardCreatedNodes() {
    if (!CreatedNode.isEmpty() && !CreatedNode.contains(nullptr)) delete CreatedNode.first();
    CreatedNode.clear();
}

ManagePlugins* SelectElement::registry() const {
    return MW ? dynamic_cast<ManagePlugins*>(MW->getPluginManager()) : nullptr;
}

void SelectElement::selectSetup(int) {
    SelectedSetup = nullptr;
    QTreeWidget* tree = MW ? MW->treeWidget : nullptr;
    for (int i = 0; tree && i < tree->topLevelItemCount(); ++i)
        if (tree->topLevelItem(i)->text(0) == setupBox->currentText())
            SelectedSetup = dynamic_cast<Node_*>(tree->topLevelItem(i));
    refreshInputList();
}

void SelectElement::selectElement(QListWidgetItem* item) {
    if (!item) return;
    SelectedElement = item->text();
    ConfigNode_* root = ConfigFile ? ConfigFile->getRoot() : nullptr;
    SelectedConfigNode = root ? root->findChildValue(SelectedElement.toStdString()) : nullptr;
    elementParameters->clear();
    for (int i = 0; SelectedConfigNode && i < SelectedConfigNode->getChildren(); ++i) {
        const ConfigNode_* c = SelectedConfigNode->getChild(i);
        if (c->getLabel() == "ParameterSet") elementParameters->addItem(text(c->getValue()));
    }
    if (elementParameters->count() == 0) elementParameters->addItem(tr("None"));
    elementParameters->setCurrentRow(0);
    chooseParameters(elementParameters->item(0));
    refreshInputList();
    refreshName();
    checkKind();
}

void SelectElement::selectParameters(QListWidgetItem* item) {
    chooseParameters(item);
    checkKind();
}

void SelectElement::chooseParameters(QListWidgetItem* item) {
    if (item) SelectedParameters = item->text();
}

void SelectElement::refreshName() {
    lineEditName->setText(SelectedSetup ? SelectedSetup->generateUniqueLocal(SelectedElement) : QString());
}

QStringList SelectElement::inputNames() const {
    QStringList names;
    if (SelectedConfigNode) {
        const ConfigNode_* inputs = SelectedConfigNode->getChild(std::string("Inputs"));
        for (int i = 0; inputs && i < inputs->getChildren(); ++i)
            names << text(inputs->getChild(i)->getValue());
    } else if (ManagePlugins* plugins = registry(); plugins && plugins->isPlugin(SelectedElement)) {
        const int pulses = plugins->getPlugin(SelectedElement).pulses;
        for (int r = 0; r < pulses; ++r) names << "Pulse" + QString::number(r);
    }
    return names;
}

QString SelectElement::kindProblem() const {
    if (SelectedElement.isEmpty()) return tr("No element kind is chosen.");
    if (!SelectedConfigNode) {
        ManagePlugins* plugins = registry();
        if (!plugins || !plugins->isPlugin(SelectedElement))
            return tr("The element kind %1 is neither in the element catalogue nor a valid plug-in.")
                .arg(SelectedElement);
        if (inputNames().isEmpty()) return tr("The plug-in %1 takes no pulse.").arg(SelectedElement);
        return QString();
    }
    if (inputNames().isEmpty())
        return tr("The element kind %1 has no inputs in the element catalogue.").arg(SelectedElement);
    const ConfigNode_* parameters = SelectedConfigNode->getChild(std::string("Parameters"));
    const ConfigNode_* set = parameterSet(SelectedConfigNode, SelectedParameters);
    for (int i = 0; parameters && i < parameters->getChildren(); ++i) {
        const std::string& name = parameters->getChild(i)->getLabel();
        if (!set)
            return tr("The element kind %1 has parameters but no parameter set %2 in the element catalogue.")
                .arg(SelectedElement, SelectedParameters);
        if (!set->getChild(name))
            return tr("The parameter set %1 of the element kind %2 has no value for %3.")
                .arg(SelectedParameters, SelectedElement, text(name));
    }
    return QString();
}

void SelectElement::checkKind() {
    const QString problem = kindProblem();
    buttonBox->button(QDialogButtonBox::Ok)->setEnabled(canBuild());
    if (problem.isEmpty()) return;
    log(problem.toStdString(), normal);
    MessageBox_::show(MessageBox_::warning, this, tr("Invalid Element"), problem);
}

bool SelectElement::canBuild() const {
    return SelectedSetup && Model->rowCount() > 0 && kindProblem().isEmpty();
}

void SelectElement::refreshInputList() {
    if (!constructionComplete) return;
    SelectedCavity.clear();
    CavityDelegate->clearChoices(-1);
    PositionDelegate->clearChoices(-1);
    Model->setRowCount(0);
    const QStringList inputs = inputNames();
    const bool holdsSelection =
        SelectedNode && SelectedSetup && SelectedNode->getParent(Node_::setup) == SelectedSetup;
    const QString preset =
        holdsSelection && isContainer(SelectedNode) ? SelectedNode->getPath() : tr(newCavity);
    for (int row = 0; row < inputs.size(); ++row) {
        CavityDelegate->addChoice(tr(newCavity), row);
        for (int c = 0; SelectedSetup && c < SelectedSetup->childCount(); ++c) {
            Node_* cavity = SelectedSetup->getChild(c);
            if (!cavity || cavity->getTypeString() != "Cavity") continue;
            CavityDelegate->addChoice(cavity->getPath(), row);
            addElementGroups(cavity, row);
        }
    }
    Model->setRowCount(inputs.size());
    for (int row = 0; row < inputs.size(); ++row) {
        auto* name = new QStandardItem(inputs[row]);
        name->setEditable(false);
        Model->setItem(row, 0, name);
        SelectedCavity.append(nullptr);
        setCell(row, 1, row == 0 ? preset : tr(newCavity));
        selectCavity(Model->item(row, 1));
    }
    refreshName();
    buttonBox->button(QDialogButtonBox::Ok)->setEnabled(canBuild());
}

void SelectElement::addElementGroups(Node_* N, const int& row) {
    for (int c = 0; N && c < N->childCount(); ++c) {
        Node_* child = N->getChild(c);
        if (!child || child->getTypeString() != "ElementGroup") continue;
        CavityDelegate->addChoice(child->getPath(), row);
        addElementGroups(child, row);
    }
}

Node_* SelectElement::container(const QString& path) const {
    auto* n = MW ? dynamic_cast<Node_*>(MW->findSetupTreeNode(path)) : nullptr;
    return isContainer(n) && SelectedSetup && n->getParent(Node_::setup) == SelectedSetup ? n : nullptr;
}

void SelectElement::setCell(int row, int column, const QString& text) {
    if (QStandardItem* cell = Model->item(row, column))
        cell->setData(text, Qt::EditRole);
    else
        Model->setItem(row, column, new QStandardItem(text));
}

// A text that names no container of the setup (an empty commit of the
// editor) stands for what the caller then does: a new cavity.
void SelectElement::selectCavity(QStandardItem* item) {
    if (resolvingCell || !item || item->column() != 1) return;
    const int row = item->row();
    if (row < 0 || row >= SelectedCavity.size()) return;
    resolvingCell = true;
    PositionDelegate->clearChoices(row);
    Node_* target = item->text() == tr(newCavity) ? nullptr : container(item->text());
    SelectedCavity[row] = target;
    if (!target) setCell(row, 1, tr(newCavity));
    PositionDelegate->addChoice(tr(atBeginning), row);
    for (int c = 0; target && c < target->childCount(); ++c)
        PositionDelegate->addChoice(tr("Place after ") + target->child(c)->text(0) + ".", row);
    PositionDelegate->addChoice(tr(atEnd), row);
    setCell(row, 2, tr(atEnd));
    resolvingCell = false;
}

QString SelectElement::getSelectedName() const { return lineEditName->text(); }

int SelectElement::getInputs() const { return Model->rowCount(); }

QString SelectElement::getInput(int id) const {
    const QStandardItem* cell = Model->item(id, 0);
    return cell ? cell->text() : QString();
}

ElementNode_* SelectElement::takeCreatedNode(int id) {
    if (id < 0 || id >= CreatedNode.size()) return nullptr;
    ElementNode_* node = CreatedNode[id];
    CreatedNode[id] = nullptr;
    return node;
}

int SelectElement::getSelectedPosition(int id) const {
    if (id < 0 || id >= SelectedCavity.size()) return 0;
    const QStringList* choices = PositionDelegate->getChoices(id);
    const QStandardItem* cell = Model->item(id, 2);
    const int p = choices && cell ? choices->indexOf(cell->text()) : -1;
    const int children = SelectedCavity[id] ? SelectedCavity[id]->childCount() : 0;
    return std::max(0, std::min(p, children));
}

// Two inputs placed in one container would be two siblings of one name,
// which no path could tell apart: that is refused like a taken name.
bool SelectElement::execute() {
    discardCreatedNodes();
    if (QDialog::exec() != QDialog::Accepted || !canBuild()) return false;
    const QString name = lineEditName->text();
    QSet<Node_*> chosen;
    for (int i = 0; i < std::min(Model->rowCount(), SelectedCavity.size()); ++i) {
        Node_* target = SelectedCavity[i];
        if (!target) continue;
        if (target->findChildNode(name) || chosen.contains(target)) {
            MessageBox_::show(MessageBox_::information, MW, tr("Ambiguous Name"),
                              tr("The name selected is not unique. Choose a different name."));
            return false;
        }
        chosen.insert(target);
    }
    CreatedNode = buildNodes();
    cavityLevel = 0;
    for (Node_* target : SelectedCavity)
        if (target) cavityLevel = std::max(cavityLevel, target->getLevel() - 1);
    return true;
}

QList<ElementNode_*> SelectElement::buildNodes() const {
    QList<ElementNode_*> nodes;
    for (int i = 0; i < Model->rowCount(); ++i) {
        auto* node = new ElementNode_;
        node->setText(0, lineEditName->text());
        node->setFlags(node->flags() | Qt::ItemIsEditable);
        nodes << node;
    }
    for (ElementNode_* node : nodes) {
        node->setMasterInput(nodes.first());
        node->addInstance(node);
        node->setMasterInstance(node);
        for (int j = 0; j < nodes.size(); ++j) {
            node->addInputType(getInput(j));
            node->addInput(nodes[j]);
        }
    }
    if (!nodes.isEmpty()) addParameters(nodes.first());
    return nodes;
}

// A plug-in kind gets one number per name its library reports, read once
// when a run is built.
void SelectElement::addParameters(ElementNode_* node) const {
    Parameter_* type = addParameter(node, DataType_::string, "ElementType",
                                    tr("The type of the cavity element."), SelectedElement);
    type->setMeasurable(false);
    type->setEditable(false);
    addParameter(
        node, DataType_::string, "Condition",
        tr("If condition evaluates as false, the pulse does not pass this element in that roundtrip."),
        "always")
        ->troggleExpression(true);
    if (SelectedConfigNode) {
        const ConfigNode_* parameters = SelectedConfigNode->getChild(std::string("Parameters"));
        const ConfigNode_* set = parameterSet(SelectedConfigNode, SelectedParameters);
        for (int i = 0; parameters && set && i < parameters->getChildren(); ++i) {
            const ConfigNode_* c = parameters->getChild(i);
            addParameter(node, DataType_::doubleprecision, text(c->getLabel()), text(c->getValue()),
                         text(set->getChild(c->getLabel())->getValue()))
                ->setHotChangeable(true);
        }
        return;
    }
    const pluginData d = registry()->getPlugin(SelectedElement);
    for (int32_t i = 0; d.getParameterName && i < d.parameters; ++i) {
        const char* name = d.getParameterName(static_cast<uint32_t>(i));
        if (!name || !*name) break;
        addParameter(node, DataType_::doubleprecision, QString::fromUtf8(name),
                     tr("A parameter of the plug-in %1.").arg(d.Name), "0");
    }
}
