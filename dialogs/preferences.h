#pragma once
// The preferences: the parsed "config/preferences.config" (or the built-in
// defaults when it cannot be read), which the program reads for its whole
// life, and the modal dialog that edits them, sections as a tree and the keys
// of the selected section as a table of label and value cells.
#include <QDialog>
#include <QList>
#include <QString>
#include <QTreeWidgetItem>
#include <string>
#include <vector>

#include "configfile.h"
#include "logger.h"
#include "ui_preferences.h"

class QResizeEvent;
class QTableWidgetItem;

// One section row of the dialog's tree; it owns the cells of its keys, which
// the table only borrows while it shows the section.
class PreferencesNode_ : public QTreeWidgetItem {
public:
    struct itemData {
        QTableWidgetItem* Label;
        QTableWidgetItem* Value;
    };

    PreferencesNode_() = default;
    ~PreferencesNode_() override;
    PreferencesNode_(const PreferencesNode_&) = delete;
    PreferencesNode_& operator=(const PreferencesNode_&) = delete;

    void addData(const QString& Label, const QString& Value);
    // Null outside 0 .. getItems() - 1.
    QTableWidgetItem* getLabel(int id) const;
    QTableWidgetItem* getValue(int id) const;
    int getItems() const { return data.size(); }

private:
    QList<itemData> data;
};

class Preferences : public QDialog, public Ui::Preferences, public ConfigFile_ {
    Q_OBJECT
public:
    // The file the preferences live in, relative to the working directory.
    static const char* const fileName;
    // The built-in preferences, used whole when the file cannot be read.
    static const char* const defaultText;

    // Reads the file, or, when it cannot, says so in a box and takes the
    // defaults; the dialog's rows show whichever was taken.
    explicit Preferences(QWidget* parent);
    ~Preferences() override;

    // The key `key` in the section reached from `root` through `sections`
    // (each found by its value), or null when the root, a section or the key
    // is missing.
    static ConfigNode_* find(ConfigNode_* root, const std::vector<std::string>& sections,
                             const std::string& key);
    // The value text of that key in the built-in defaults ("" when it has none).
    static std::string defaultValue(const std::vector<std::string>& sections,
                                    const std::string& key);

public slots:
    // Runs the dialog; on Ok carries the edited values into the tree and
    // saves it. A failed save keeps the old file whole and is reported.
    void execute();

private slots:
    void selectionChanged();
    void splitterMoved(int w, int i);

protected:
    void resizeEvent(QResizeEvent* event) override;
    // The table has its real width only once the dialog is shown.
    void showEvent(QShowEvent* event) override;

private:
    void buildTree(ConfigNode_* CN, QTreeWidgetItem* I);
    void updateConfigTree(ConfigNode_* CN, QTreeWidgetItem* I);
    // Takes every cell out of the table without deleting it.
    void releaseCells();
    // Each column as wide as its contents and header; the "Value" column
    // takes the room left, but never shrinks below that.
    void fitColumns();
};
