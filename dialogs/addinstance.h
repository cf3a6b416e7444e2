#pragma once
// Asks where one more instance of an element goes: for each input of the
// element a row with the cavity of the element's setup that the input's new
// node goes into and its place among that cavity's children. The dialog only
// answers; the caller makes and places the nodes.
#include <QDialog>
#include <QList>

#include "ui_addinstance.h"

class ElementNode_;
class MainWindow;
class Node_;
class QComboBox;

class AddInstance_ : public QDialog, public Ui::AddInstance {
    Q_OBJECT
public:
    // `element` is the master instance of the element; the dialog has no parent widget.
    AddInstance_(MainWindow* mw, ElementNode_* element);
    // The nodes offered belong to the tree.
    ~AddInstance_() override;

    // The container chosen in `row`; null outside the rows or when none is offered.
    Node_* getGroup(int row) const;
    // The index among that container's children at which the node goes; 0 outside the rows.
    int getPosition(int row) const;

public slots:
    // Refills the position list of the row whose cavity list sent it, or of
    // every row when called directly.
    void cavitySelectionChanged(int index);

private:
    void fillPositions(QComboBox* positions, int index);

    MainWindow* MW;
    ElementNode_* ElementNode;
    QList<Node_*> ElementGroupList;
    QList<QComboBox*> cavityBoxList;
    QList<QComboBox*> positionBoxList;
};
