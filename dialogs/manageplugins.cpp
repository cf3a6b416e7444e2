#include "dialogs/manageplugins.h"

#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QLibrary>
#include <QStringList>

#include "dialogs/preferences.h"
#include "interface/messagebox.h"
#include "mainwindow.h"

const char* const ManagePlugins::unknownName = "Unknown";

bool ManagePlugins::isBuiltInKind(const QString& N) {
    static const QStringList kinds = {"SaturableGain", "SaturableAbsorber", "LinearLoss", "GaussianFilter",
                                      "Propagation",   "DFGTime",           "DFGFrequency"};
    return kinds.contains(N);
}

ManagePlugins::ManagePlugins(QWidget* parent) : QDialog(parent), MW(qobject_cast<MainWindow*>(parent)) {
    setupUi(this);
    maxParameters = preference("Maximum Parameter Count").toInt();
    connect(pluginList, &QListWidget::itemClicked, this, &ManagePlugins::refreshPluginData);
    connect(importPluginButton, &QPushButton::clicked, this, &ManagePlugins::importPlugin);
    connect(removePluginButton, &QPushButton::clicked, this, &ManagePlugins::removePlugin);
    scan();
    refreshDisplay();
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

void ManagePlugins::scan() {
    const QDir listing(getPluginDirectory());
    for (const QString& entry : listing.entryList()) {
        if (entry == "." || entry == "..") continue;
        log("Found file " + (listing.path() + "/" + entry).toStdString(), normal);
        add(listing.path(), entry);
    }
}

void ManagePlugins::add(QString Path, const QString& FileName) {
    if (!Path.endsWith('/')) Path += '/';
    log("Attempting to add " + (Path + FileName).toStdString() + " to plugin list.", debugA);
    pluginData d;
    d.FileName = FileName;
    if (!QLibrary::isLibrary(Path + FileName)) {
        d.Name = unknownName;
        d.Description = "The file could not be loaded as a shared object.";
        Plugin.append(d);
        return;
    }
    // The library stays loaded until the process ends: elements built from
    // it, and copies of its record, call into it without holding it.
    QLibrary library(Path + FileName);
    library.setLoadHints(QLibrary::PreventUnloadHint);
    const bool loaded = library.load();
    if (!loaded)
        log("Could not load " + (Path + FileName).toStdString() + ": " + library.errorString().toStdString(),
            normal);
    // A library that did not load exports nothing.
    const auto resolve = [&](const char* symbol) { return loaded ? library.resolve(symbol) : nullptr; };
    // `name` and `description` are pointer variables that hold the text.
    const auto text = [&](const char* symbol) -> const char* {
        const auto* variable = reinterpret_cast<const char* const*>(resolve(symbol));
        return variable ? *variable : nullptr;
    };
    const char* description = text(pluginsymbols::description);
    d.Description = description ? QString::fromUtf8(description)
                                : QStringLiteral("The shared object does not contain a description.");
    const char* name = text(pluginsymbols::name);
    d.Name = name ? QString::fromUtf8(name) : QStringLiteral("Unnamed");
    if (isTaken(d.Name)) {
        // A built-in kind keeps its name: the plug-in gets another, so that
        // an element of that kind is never built twice.
        const QString unique = uniqueName(d.Name);
        if (isBuiltInKind(d.Name))
            logError("The plugin " + FileName.toStdString() + " is named " + d.Name.toStdString() +
                         " like a built-in element kind; it is registered as " + unique.toStdString() + ".",
                     normal);
        d.Name = unique;
    }
    d.callSingle = reinterpret_cast<pluginSingle_>(resolve(pluginsymbols::callSingle));
    d.callMultiple = reinterpret_cast<pluginMultiple_>(resolve(pluginsymbols::callMultiple));
    d.getParameterName = reinterpret_cast<pluginParameterName_>(resolve(pluginsymbols::getParameterName));
    d.parameters = parameterNames(d).size();
    // A library that does not say how many pulses it takes is called with one.
    const auto* pulses = reinterpret_cast<const int32_t*>(resolve(pluginsymbols::pulses));
    d.pulses = pulses ? *pulses : 1;
    Plugin.append(d);
}

QStringList ManagePlugins::parameterNames(const pluginData& d) const {
    QStringList names;
    if (!d.getParameterName) return names;
    // A null answer ends the list like an empty one.
    for (int32_t i = 0; i < maxParameters; ++i) {
        const char* name = d.getParameterName(static_cast<uint32_t>(i));
        if (!name || !*name) break;
        names << QString::fromUtf8(name);
    }
    return names;
}

bool ManagePlugins::isTaken(const QString& N) const {
    if (isBuiltInKind(N) || N == unknownName) return true;
    for (const pluginData& d : Plugin)
        if (d.Name == N) return true;
    return false;
}

QString ManagePlugins::uniqueName(const QString& N) const {
    for (int k = 2;; ++k)
        if (!isTaken(N + QString::number(k))) return N + QString::number(k);
}

void ManagePlugins::refreshDisplay() {
    pluginList->clear();
    for (const pluginData& d : Plugin) pluginList->addItem(d.FileName);
}

void ManagePlugins::refreshPluginData(QListWidgetItem*) {
    parameterList->clear();
    const int row = pluginList->currentRow();
    if (row < 0 || row >= Plugin.size()) return;
    const pluginData& d = Plugin.at(row);
    QString text = "Name: " + d.Name + "\nDescription: " + d.Description + "\n";
    if (!d.getParameterName)
        text += "\nThe shared object does not have a getParameterName function. It is either damaged or not a "
                "korvane plugin.\n";
    pluginText->setPlainText(text);
    parameterList->addItems(parameterNames(d));
}

void ManagePlugins::importPlugin() {
    const QString chosen =
        QFileDialog::getOpenFileName(this, tr("Select Plugin"), QString(), tr("Shared Object Files (*.so)"));
    if (chosen.isEmpty()) return;
    log("Attempting import of plugin " + chosen.toStdString(), debugA);
    const QString fileName = chosen.mid(chosen.lastIndexOf('/') + 1);
    const QString directory = getPluginDirectory();
    // A fresh installation may not have its plug-in directory yet.
    QDir().mkpath(directory);
    if (QFile::copy(chosen, directory + fileName))
        add(directory, fileName);
    else
        MessageBox_::show(MessageBox_::information, this, tr("Copy Error"),
                          tr("The plugin file could not be copied to the plugin directory.\n") +
                              tr("Maybe a file with the same name already exists there. In this case you ") +
                              tr("could rename the plugin to be imported and try again."));
    refreshDisplay();
}

void ManagePlugins::removePlugin() {
    const QList<QListWidgetItem*> selected = pluginList->selectedItems();
    if (selected.size() != 1) return;
    if (MessageBox_::show(MessageBox_::question, this, tr("Remove Plugin"),
                          tr("Are you sure you want to delete the plugin file ") + selected.first()->text() +
                              tr(" from your hard drive?"),
                          QMessageBox::Yes | QMessageBox::No) != QMessageBox::Yes)
        return;
    const int row = pluginList->row(selected.first());
    log("Attempting to delete " + Plugin.at(row).FileName.toStdString(), debugA);
    QFile::remove(getPluginDirectory() + Plugin.at(row).FileName);
    Plugin.removeAt(row);
    refreshDisplay();
}

bool ManagePlugins::hasEntryPoints(const pluginData& d) {
    return d.getParameterName && (d.callSingle || d.callMultiple);
}

bool ManagePlugins::isValidPlugin(const pluginData& d) {
    log("checking validity of plugin " + d.Name.toStdString(), debugA);
    return hasEntryPoints(d);
}

bool ManagePlugins::isPlugin(const QString& N) const {
    for (const pluginData& d : Plugin)
        if (d.Name == N && hasEntryPoints(d)) return true;
    return false;
}

ManagePlugins::pluginData ManagePlugins::getPlugin(const QString& N) const {
    for (const pluginData& d : Plugin)
        if (d.Name == N && hasEntryPoints(d)) return d;
    // Logging counts the registry's errors; the lookup itself changes nothing.
    const_cast<ManagePlugins*>(this)->logError("ERROR: Returning uninitialized plugin for " + N.toStdString(),
                                               normal);
    return pluginData();
}
