#pragma once
// A window stand-in made of plain widgets, for the tree in tests, benchmarks
// and fuzz targets.
#include <QTabWidget>
#include <QTreeWidget>
#include <QWidget>

#include "interface/treehost.h"

struct PlainHost : TreeHost_ {
    QWidget* getDialogParent() override { return &window; }
    QTreeWidget* getSetupTree() override { return setupTree; }
    QTabWidget* getTabWidgetSetupStatus() override { return tabs; }
    QTreeWidget* getMeasurementTree() override { return dataTree; }
    PluginRegistry_* getPluginManager() override { return nullptr; }

    QWidget window;
    QTreeWidget* setupTree = new QTreeWidget(&window);
    QTabWidget* tabs = new QTabWidget(&window);
    QTreeWidget* dataTree = new QTreeWidget(&window);
};
