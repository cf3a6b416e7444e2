#pragma once
// The registry of plug-in libraries. It reads its two settings from the
// preferences; it loads no library yet, so it lists no plug-in.
#include <QDialog>
#include <QList>
#include <QString>

#include "core/plugindata.h"
#include "logger.h"

class MainWindow;

class ManagePlugins : public QDialog, public Logger_ {
    Q_OBJECT
public:
    using pluginData = ::pluginData;

    // `parent` is the main window, whose preferences must exist already.
    explicit ManagePlugins(QWidget* parent);

    int getPlugins() const { return Plugin.size(); }
    pluginData getPlugin(int i) const { return Plugin.at(i); }
    bool isPlugin(const QString& N) const;
    // The first plug-in of that name; an empty record (and a logged error)
    // when there is none.
    pluginData getPlugin(const QString& N);
    bool isValidPlugin(const pluginData& d);

    // "Maximum Parameter Count", read once at construction.
    int getMaxParameters() const { return maxParameters; }
    // "Plugin Directory", read anew at every call, always ending in "/".
    QString getPluginDirectory();

private:
    // Logs when the key is missing and its default is taken.
    QString preference(const char* key);

    MainWindow* MW;
    QList<pluginData> Plugin;
    int32_t maxParameters;
};
