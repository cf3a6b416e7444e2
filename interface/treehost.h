#pragma once
// What the setup tree needs of the window that shows it. The main window
// implements it; tests fake it with plain widgets, so the tree runs without
// a window.
#include <QString>

#include "core/plugindata.h"

class QTabWidget;
class QTreeWidget;
class QWidget;

// The loaded element plug-ins, looked up by display name.
class PluginRegistry_ {
public:
    virtual ~PluginRegistry_() = default;
    virtual bool isPlugin(const QString& name) const = 0;
    // A copy of the first plug-in with this name; an empty record when none has it.
    virtual pluginData getPlugin(const QString& name) const = 0;
};

class TreeHost_ {
public:
    virtual ~TreeHost_() = default;
    // The parent of every dialog and message box the tree opens.
    virtual QWidget* getDialogParent() = 0;
    // The tree widget whose top-level items are the setup nodes.
    virtual QTreeWidget* getSetupTree() = 0;
    // Where each setup node shows its status tab.
    virtual QTabWidget* getTabWidgetSetupStatus() = 0;
    // The data tree that holds one row per measurement node.
    virtual QTreeWidget* getMeasurementTree() = 0;
    // Null when no plug-in registry exists.
    virtual PluginRegistry_* getPluginManager() = 0;
};
