#pragma once
// The dialog that copies one setup of the experiment, the template, into a
// batch of setups for a parameter scan. Each copy is named from a pattern
// with a running number, its "Directory" is its name, and every chosen
// parameter (a variation) is stepped from one bound towards the other across
// the copies. Accepted, it makes the copies outside any tree; the caller
// takes them over and adds them. User-interface thread only.
#include <QDialog>
#include <QList>
#include <QString>
#include <QStringList>
#include <QVector>
#include <functional>

#include "logger.h"
#include "ui_copysetup.h"

class MainWindow;
class Node_;
class Parameter_;
class QListWidgetItem;
class QTreeWidget;
class SetupNode_;

class CopySetup : public QDialog, public Ui::CopySetup, public Logger_ {
    Q_OBJECT
public:
    // The stepping modes, in the order of the intervals box.
    enum increment_ { linear = 0, logarithmic = 1, quadratic = 2 };

    struct variation {
        int listIndex;
        double from;
        double to;
        increment_ increment;
        // The node of the template that owns the parameter, and the parameter.
        Node_* SourceNode;
        Parameter_* Source;
    };

    // Asks for one parameter of `setup`: its "%" path from the setup's name
    // down, or the empty text when the user cancels.
    using ParameterChooser = std::function<QString(QWidget* parent, Node_* setup)>;

    // `parent` is the main window, whose top-level setups become the templates offered.
    explicit CopySetup(QWidget* parent);
    ~CopySetup() override;

    // Runs the dialog; accepted, makes the copies and gives Accepted. A
    // refused name pattern or range is shown in a box and the dialog opens
    // again; without a template nothing is copied.
    int exec() override;
    int getSetups() const { return SetupList.size(); }
    // Null outside 0 .. getSetups() - 1.
    SetupNode_* getSetup(int id) const;

    // Replaces the dialog that Add opens.
    void setParameterChooser(ParameterChooser chooser) { Chooser = std::move(chooser); }

    // The text every value is written as, 2.500000e-01 for 0.25.
    static QString numberText(double value);

private slots:
    void addParameter();
    void removeParameter();
    void refreshParameterDisplay(QListWidgetItem*);
    void refreshParameterInfo();
    void refreshParameterInfo(int);

private:
    double generateValue(CopySetup::variation v, int i);
    // The top-level setup the template box names; null when none.
    SetupNode_* templateNode() const;
    variation* currentVariation();
    // One free name per copy, none taken by a top-level setup or an earlier
    // copy; empty, with the reason in `problem`, when the pattern runs out.
    QStringList copyNames(QString& problem) const;
    // Why the ranges cannot be stepped; empty when they can.
    QString rangeProblem() const;
    // Whether the variation still points into `setup`, so it can be applied.
    static bool pointsInto(const variation& v, Node_* setup);
    void applyVariation(const variation& v, SetupNode_* templ, SetupNode_* copy, int i);
    void makeCopies(SetupNode_* templ, const QStringList& names);

    QVector<CopySetup::variation> variations;
    MainWindow* MW;
    QTreeWidget* ST;
    QList<SetupNode_*> SetupList;
    ParameterChooser Chooser;
};
