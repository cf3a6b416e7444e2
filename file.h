#pragma once
// The window's experiment-file handler: the file dialog of Open, Save and
// Save As, and the writing and reading of experiment files. A save writes
// the whole file or nothing (the old file stays until the new one is
// complete); a load replaces the setup tree only when the whole file could
// be read, and otherwise keeps both the tree and the current file name.
#include <QFileDialog>
#include <QString>
#include <functional>
#include <memory>

#include "logger.h"

class ConfigFile_;
class MainWindow;

class File_ : public QFileDialog, public Logger_ {
    Q_OBJECT
public:
    // Asked for a file name instead of the dialog: whether an existing file
    // is wanted; returns the chosen path, or empty text for Cancel.
    using NameHandler = std::function<QString(bool existing)>;

    explicit File_(MainWindow* MW);
    ~File_() override;

    QString getName() const { return Name; }
    // No current file: the next save asks for one.
    void reset() { Name.clear(); }
    bool isSaved() const { return saved; }

    // Tests answer the file dialogs; an empty handler restores them.
    static void setNameHandler(NameHandler handler);

public slots:
    // Asks for an existing file and replaces the setup tree with its contents.
    void load();
    // Writes the setup tree to the current file, or asks for one first.
    void save();
    void save(QString name);
    void saveAs();

private:
    QString askName(bool existing);

    MainWindow* MW;
    std::unique_ptr<ConfigFile_> Data;
    QString Name;
    bool saved = false;
};
