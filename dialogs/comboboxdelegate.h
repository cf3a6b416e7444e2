#pragma once
// A cell editor for one column of a table whose cells are chosen from a list
// that differs from row to row: it keeps one list of choices per model row,
// opens a combo box of that row's choices, and writes the chosen text back.
#include <QItemDelegate>
#include <QList>
#include <QStringList>

#include "logger.h"

class ComboBoxDelegate : public QItemDelegate, public Logger_ {
    Q_OBJECT
public:
    // `choices` (may be null) becomes the list of row 0; the delegate owns it.
    ComboBoxDelegate(QStringList* choices, QObject* parent);
    ~ComboBoxDelegate() override;

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const override;
    // Selects the entry that equals the cell's text exactly; none when no entry does.
    void setEditorData(QWidget* editor, const QModelIndex& index) const override;
    void setModelData(QWidget* editor, QAbstractItemModel* model, const QModelIndex& index) const override;
    void updateEditorGeometry(QWidget* editor, const QStyleOptionViewItem& option,
                              const QModelIndex& index) const override;

    // Rows grow only at the end: a row equal to the number of rows first
    // appends one; rows beyond that, and negative rows, are ignored.
    void addChoice(const QString& text, const int& row);
    // Takes ownership of `choices` for a row in range; otherwise leaves it to the caller.
    void setChoices(QStringList* choices, const int& row);
    // -1 removes every row; a row in range loses its list but keeps its place.
    void clearChoices(const int& row);
    // The row's list, still owned here; null for a row without one.
    QStringList* getChoices(const int& row) const;

private:
    // Appends an empty entry when `row` is the next row; whether `row` is then in range.
    bool reach(int row);

    QList<QStringList*> Choices;
};
