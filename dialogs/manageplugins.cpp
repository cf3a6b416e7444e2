#include "dialogs/manageplugins.h"

#include "dialogs/preferences.h"
#include "mainwindow.h"

ManagePlugins::ManagePlugins(QWidget* parent)
    : QDialog(parent), MW(qobject_cast<MainWindow*>(parent)) {
    maxParameters = preference("Maximum Parameter Count").toInt();
}

QString ManagePlugins::preference(const char* key) {
    const std::vector<std::string> sections = {"Plugins", "General"};
    if (ConfigNode_* node = Preferences::find(MW ? MW->getPreferences() : nullptr, sections, key))
        return QString::fromStdString(node->getValue());
    const std::string value = Preferences::defaultValue(sections, key);
    log("Preference \"" + std::string(key) + "\" is missing; using its default \"" + value + "\".",
        normal);
    return QString::fromStdString(value);
}

QString ManagePlugins::getPluginDirectory() {
    QString directory = preference("Plugin Directory");
    if (!directory.endsWith('/')) directory += '/';
    return directory;
}

bool ManagePlugins::isPlugin(const QString& N) const {
    for (const pluginData& d : Plugin)
        if (d.Name == N) return true;
    return false;
}

ManagePlugins::pluginData ManagePlugins::getPlugin(const QString& N) {
    for (const pluginData& d : Plugin)
        if (d.Name == N) return d;
    logError("ERROR: Returning uninitialized plugin for " + N.toStdString(), normal);
    return pluginData();
}

bool ManagePlugins::isValidPlugin(const pluginData& d) {
    log("checking validity of plugin " + d.Name.toStdString(), debugA);
    return d.getParameterName && (d.callSingle || d.callMultiple);
}
