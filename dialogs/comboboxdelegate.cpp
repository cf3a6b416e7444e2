#include "dialogs/comboboxdelegate.h"

#include <QComboBox>

ComboBoxDelegate::ComboBoxDelegate(QStringList* choices, QObject* parent)
    : QItemDelegate(parent), Choices{choices} {}

ComboBoxDelegate::~ComboBoxDelegate() { clearChoices(-1); }

QWidget* ComboBoxDelegate::createEditor(QWidget* parent, const QStyleOptionViewItem&,
                                        const QModelIndex& index) const {
    auto* editor = new QComboBox(parent);
    if (const QStringList* choices = getChoices(index.row())) editor->addItems(*choices);
    return editor;
}

void ComboBoxDelegate::setEditorData(QWidget* editor, const QModelIndex& index) const {
    auto* box = qobject_cast<QComboBox*>(editor);
    if (!box) return;
    const QString text = index.model()->data(index, Qt::DisplayRole).toString();
    box->setCurrentIndex(box->findText(text, Qt::MatchExactly | Qt::MatchCaseSensitive));
}

void ComboBoxDelegate::setModelData(QWidget* editor, QAbstractItemModel* model,
                                    const QModelIndex& index) const {
    if (auto* box = qobject_cast<QComboBox*>(editor)) model->setData(index, box->currentText(), Qt::EditRole);
}

void ComboBoxDelegate::updateEditorGeometry(QWidget* editor, const QStyleOptionViewItem& option,
                                            const QModelIndex&) const {
    editor->setGeometry(option.rect);
}

bool ComboBoxDelegate::reach(int row) {
    if (row == Choices.size()) Choices.append(nullptr);
    return row >= 0 && row < Choices.size();
}

void ComboBoxDelegate::addChoice(const QString& text, const int& row) {
    if (!reach(row)) return;
    if (!Choices[row]) Choices[row] = new QStringList;
    Choices[row]->append(text);
}

void ComboBoxDelegate::setChoices(QStringList* choices, const int& row) {
    if (!reach(row)) return;
    if (Choices[row] != choices) delete Choices[row];
    Choices[row] = choices;
}

void ComboBoxDelegate::clearChoices(const int& row) {
    if (row == -1) {
        qDeleteAll(Choices);
        Choices.clear();
    } else if (row >= 0 && row < Choices.size()) {
        delete Choices[row];
        Choices[row] = nullptr;
    }
}

QStringList* ComboBoxDelegate::getChoices(const int& row) const { return Choices.value(row, nullptr); }
