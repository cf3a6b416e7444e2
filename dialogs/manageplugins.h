#pragma once
// The registry of plug-in libraries and the dialog that lists, imports and
// removes them. At construction it loads every library in the plug-in
// directory; libraries are never unloaded, so the entry points in any copy of
// a record stay callable for the life of the process. Only valid plug-ins
// are visible to the setup tree.
#include <QDialog>
#include <QList>
#include <QString>

#include "core/plugindata.h"
#include "interface/treehost.h"
#include "logger.h"
#include "ui_manageplugins.h"

class MainWindow;
class QListWidgetItem;

class ManagePlugins : public QDialog, public Ui::PluginManager, public Logger_, public PluginRegistry_ {
    Q_OBJECT
public:
    using pluginData = ::pluginData;

    // The name of every record made for a file that is not a shared library.
    static const char* const unknownName;

    // The element kinds the element nodes build themselves; no plug-in is
    // registered under one of these names.
    static bool isBuiltInKind(const QString& N);

    // `parent` is the main window, whose preferences must exist already.
    explicit ManagePlugins(QWidget* parent);

    // Every registered library, valid or not, in registration order.
    int getPlugins() const { return Plugin.size(); }
    // An empty record outside 0 .. getPlugins() - 1.
    pluginData getPlugin(int i) const { return Plugin.value(i); }
    // Whether a valid plug-in has this name: only those may become elements.
    bool isPlugin(const QString& N) const override;
    // The first valid plug-in of that name; an empty record (and a logged
    // error) when there is none.
    pluginData getPlugin(const QString& N) const override;
    bool isValidPlugin(const pluginData& d);

    // "Maximum Parameter Count", read once at construction.
    int getMaxParameters() const { return maxParameters; }
    // "Plugin Directory", read anew at every call, always ending in "/".
    QString getPluginDirectory();

private slots:
    void refreshPluginData(QListWidgetItem*);
    void importPlugin();
    void removePlugin();

private:
    static bool hasEntryPoints(const pluginData& d);
    // Logs when the key is missing and its default is taken.
    QString preference(const char* key);
    void scan();
    void add(QString Path, const QString& FileName);
    void refreshDisplay();
    // Whether any record, valid or not, or a built-in kind has this name.
    bool isTaken(const QString& N) const;
    // The name followed by the first of 2, 3, ... that makes it untaken.
    QString uniqueName(const QString& N) const;
    // The names getParameterName gives, up to the first empty one and at
    // most maxParameters of them.
    QStringList parameterNames(const pluginData& d) const;

    MainWindow* MW;
    QList<pluginData> Plugin;
    int32_t maxParameters;
};
