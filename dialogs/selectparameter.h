#pragma once
// Offers the measurable, visible parameters of the setup tree as a tree of
// their own and gives the "%" path of the one the user picks. Measurements
// and measurement groups are left out with everything below them.
#include <QDialog>
#include <QString>

#include "ui_selectparameter.h"

class Node_;
class TreeHost_;

class SelectParameter : public QDialog, public Ui::SelectParameter {
    Q_OBJECT
public:
    explicit SelectParameter(QWidget* parent);

    // Every setup of the window's setup tree; the first is highlighted.
    void buildTree(TreeHost_* host);
    // One node and its subtree.
    void buildTree(Node_* node);
    // The path of the last leaf clicked, or whatever was typed.
    QString getSelection() const;
    // Always true: the caller resolves the path it is given.
    bool verify() const { return true; }

private slots:
    void generateParameterString(QTreeWidgetItem* item, int column);

private:
    // Copies what is offered of `src` under `dest`: parameters first, then child nodes.
    void traverseNodes(QTreeWidgetItem* dest, Node_* src);
    void addTopLevel(Node_* node);
};
