#pragma once
// The dialog that adds a new element to the setup tree. The user picks a kind
// from the element catalogue or a valid plug-in, one of its parameter sets,
// the setup, and for every input of the kind a cavity or element group (or a
// new cavity) and a place in it; the dialog proposes a name. On OK it builds
// one element node per input, linked as the inputs of one element with the
// parameters on the first, and hands them to the caller, which places them.
#include <QDialog>
#include <QList>
#include <QString>

#include "logger.h"
#include "ui_selectelement.h"

class ComboBoxDelegate;
class ConfigFile_;
class ConfigNode_;
class ElementNode_;
class MainWindow;
class ManagePlugins;
class Node_;
class QListWidgetItem;
class QStandardItem;
class QStandardItemModel;

class SelectElement : public QDialog, public Ui::SelectElement, public Logger_ {
    Q_OBJECT
public:
    // The cell texts of the input table that the caller and the tests meet.
    static const char* const newCavity;
    static const char* const atBeginning;
    static const char* const atEnd;

    // `parent` is the main window; the catalogue is not owned.
    SelectElement(ConfigFile_* F, QWidget* parent);
    // Deletes the nodes not taken.
    ~SelectElement() override;

    // Runs the dialog modally (QDialog::exec stays the plain modal run). True
    // when the user confirmed and the nodes were built; false on Cancel and
    // on a name that is not unique in a chosen container.
    bool execute();

    QString getSelectedName() const;
    // The rows of the input table.
    int getInputs() const;
    QString getInput(int id) const;
    // Hands node `id` over to the caller; null outside the nodes or when taken already.
    ElementNode_* takeCreatedNode(int id);
    // The insertion index in the container of row `id`; 0 outside the rows.
    int getSelectedPosition(int id) const;

    QString getSelectedElement() const { return SelectedElement; }
    QString getSelectedParameters() const { return SelectedParameters; }
    // Null for "New Cavity" and outside the rows.
    Node_* getSelectedCavity(int id) const { return SelectedCavity.value(id, nullptr); }
    int getSelectedCavities() const { return SelectedCavity.size(); }
    Node_* getSelectedSetup() const { return SelectedSetup; }
    // The deepest level among the chosen existing containers, minus one.
    int getCavityLevel() const { return cavityLevel; }
    ElementNode_* getCreatedNode(const int& id) const { return CreatedNode.value(id, nullptr); }

private slots:
    void selectElement(QListWidgetItem* item);
    void selectParameters(QListWidgetItem* item);
    void selectCavity(QStandardItem* item);
    void selectSetup(int);

private:
    void refreshName();
    void refreshInputList();
    // Offers the element groups below `N`, depth first, as containers of `row`.
    void addElementGroups(Node_* N, const int& row);

    ManagePlugins* registry() const;
    void chooseParameters(QListWidgetItem* item);
    // The input names of the chosen kind; none for a kind that cannot be built.
    QStringList inputNames() const;
    // Why the chosen kind and set cannot be built; empty when they can.
    QString kindProblem() const;
    // Refuses a kind or set that cannot be built with a message; OK stays off
    // while nothing can be built.
    void checkKind();
    bool canBuild() const;
    // The existing cavity or element group of the chosen setup at `path`, or null.
    Node_* container(const QString& path) const;
    void setCell(int row, int column, const QString& text);
    // The nodes of one element, linked and with their parameters.
    QList<ElementNode_*> buildNodes() const;
    void addParameters(ElementNode_* node) const;
    void discardCreatedNodes();

    MainWindow* MW = nullptr;
    QString SelectedElement;
    QString SelectedParameters;
    ConfigFile_* ConfigFile = nullptr;
    ConfigNode_* SelectedConfigNode = nullptr;
    Node_* SelectedNode = nullptr;
    QList<Node_*> SelectedCavity;
    Node_* SelectedSetup = nullptr;
    QStandardItemModel* Model = nullptr;
    ComboBoxDelegate* CavityDelegate = nullptr;
    ComboBoxDelegate* PositionDelegate = nullptr;
    QList<ElementNode_*> CreatedNode;
    int cavityLevel = 0;
    bool constructionComplete = false;
    // Set while selectCavity writes cells, so its own writes do not re-enter it.
    bool resolvingCell = false;
};
