#include "dialogs/preferences.h"

#include <QHeaderView>
#include <QTableWidgetItem>

#include "interface/messagebox.h"

const char* const Preferences::fileName = "config/preferences.config";
const char* const Preferences::defaultText =
    "\"Section\" \"General\" {\n"
    "\"Catch floating point exceptions.\" \"true\";\n"
    "\"Debug level\" \"0\";\n"
    "}\"Section\" \"Plugins\" {\n"
    "\"Section\" \"General\" {\n"
    "\"Activate Plugins\" \"true\";\n"
    "\"Plugin Directory\" \"plugins/\";\n"
    "\"Maximum Parameter Count\" \"1000\";\n"
    "}\n"
    "}\n";

PreferencesNode_::~PreferencesNode_() {
    for (const itemData& d : data) {
        delete d.Label;
        delete d.Value;
    }
}

void PreferencesNode_::addData(const QString& Label, const QString& Value) {
    data.append(itemData{new QTableWidgetItem(Label), new QTableWidgetItem(Value)});
}

QTableWidgetItem* PreferencesNode_::getLabel(int id) const {
    return id >= 0 && id < data.size() ? data[id].Label : nullptr;
}

QTableWidgetItem* PreferencesNode_::getValue(int id) const {
    return id >= 0 && id < data.size() ? data[id].Value : nullptr;
}

namespace {

// The built-in tree, parsed once.
ConfigNode_* defaults() {
    static ConfigFile_* file = [] {
        auto* f = new ConfigFile_;
        f->setFileData(Preferences::defaultText);
        return f;
    }();
    return file->getRoot();
}

}  // namespace

Preferences::Preferences(QWidget* parent) : QDialog(parent) {
    setupUi(this);
    if (!readFile(fileName)) {
        MessageBox_::show(MessageBox_::information, parent, tr("Configuration not found"),
                          tr("Unable to read config file: ") +
                              QString::fromStdString(getErrorMessage()) + tr("\n Using defaults."));
        if (!setFileData(defaultText))
            MessageBox_::show(MessageBox_::warning, parent, tr("Internal Error"),
                              tr("Internal error while parsing default configuration: ") +
                                  QString::fromStdString(getErrorMessage()));
    }
    buildTree(getRoot(), itemTree->invisibleRootItem());
    connect(itemTree, &QTreeWidget::itemSelectionChanged, this, &Preferences::selectionChanged);
    connect(splitter, &QSplitter::splitterMoved, this, &Preferences::splitterMoved);
}

Preferences::~Preferences() {
    // The cells belong to the section rows, which the tree deletes.
    releaseCells();
}

ConfigNode_* Preferences::find(ConfigNode_* root, const std::vector<std::string>& sections,
                               const std::string& key) {
    ConfigNode_* node = root;
    for (const std::string& section : sections)
        if (node) node = node->findChildValue(section);
    return node ? node->getChild(key) : nullptr;
}

std::string Preferences::defaultValue(const std::vector<std::string>& sections,
                                      const std::string& key) {
    ConfigNode_* node = find(defaults(), sections, key);
    return node ? node->getValue() : std::string();
}

void Preferences::execute() {
    if (exec() != QDialog::Accepted) return;
    updateConfigTree(getRoot(), itemTree->invisibleRootItem());
    if (!writeFile(fileName))
        MessageBox_::show(MessageBox_::warning, this, tr("Save Error"),
                          tr("Could not save the preferences to ") + fileName + "\n" +
                              QString::fromStdString(getErrorMessage()) +
                              tr("\nThe previous file is unchanged."));
}

void Preferences::buildTree(ConfigNode_* CN, QTreeWidgetItem* I) {
    for (int i = 0; i < CN->getChildren(); ++i) {
        ConfigNode_* child = CN->getChild(i);
        if (child->getLabel() == "Section") {
            auto* row = new PreferencesNode_;
            row->setText(0, QString::fromStdString(child->getValue()));
            I->addChild(row);
            buildTree(child, row);
        } else if (auto* section = dynamic_cast<PreferencesNode_*>(I)) {
            section->addData(QString::fromStdString(child->getLabel()),
                             QString::fromStdString(child->getValue()));
        }
    }
}

void Preferences::updateConfigTree(ConfigNode_* CN, QTreeWidgetItem* I) {
    if (auto* section = dynamic_cast<PreferencesNode_*>(I)) {
        for (int i = 0; i < section->getItems(); ++i) {
            ConfigNode_* key = CN->getChild(section->getLabel(i)->text().toStdString());
            if (key) key->setValue(section->getValue(i)->text().toStdString());
        }
    }
    for (int i = 0; i < I->childCount(); ++i) {
        QTreeWidgetItem* row = I->child(i);
        if (ConfigNode_* child = CN->findChildValue(row->text(0).toStdString()))
            updateConfigTree(child, row);
    }
}

void Preferences::releaseCells() {
    for (int r = 0; r < itemTable->rowCount(); ++r)
        for (int c = 0; c < itemTable->columnCount(); ++c) itemTable->takeItem(r, c);
    itemTable->setRowCount(0);
}

void Preferences::selectionChanged() {
    const QList<QTreeWidgetItem*> selected = itemTree->selectedItems();
    auto* section = selected.isEmpty() ? nullptr : dynamic_cast<PreferencesNode_*>(selected.first());
    releaseCells();
    const int keys = section ? section->getItems() : 0;
    itemTable->setRowCount(keys);
    for (int i = 0; i < keys; ++i) {
        itemTable->setItem(i, 0, section->getLabel(i));
        itemTable->setItem(i, 1, section->getValue(i));
    }
    fitColumns();
}

void Preferences::splitterMoved(int, int) { fitColumns(); }

void Preferences::resizeEvent(QResizeEvent* event) {
    QDialog::resizeEvent(event);
    fitColumns();
}

void Preferences::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    fitColumns();
}

void Preferences::fitColumns() {
    itemTable->resizeColumnsToContents();
    itemTable->resizeRowsToContents();
    int total = 0;
    for (int c = 0; c < itemTable->columnCount(); ++c) total += itemTable->columnWidth(c);
    const int W = itemTable->width();
    if (total <= W - 25) itemTable->setColumnWidth(1, itemTable->columnWidth(1) + (W - 25 - total));
}
