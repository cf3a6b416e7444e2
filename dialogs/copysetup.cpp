#include "dialogs/copysetup.h"

#include <QListWidgetItem>
#include <QSet>
#include <QTreeWidget>
#include <cmath>

#include "dialogs/selectparameter.h"
#include "interface/messagebox.h"
#include "interface/parameter.h"
#include "interface/setupnode.h"
#include "mainwindow.h"

namespace {

// The parameter chooser over the template alone.
QString chooseParameter(QWidget* parent, Node_* setup) {
    SelectParameter chooser(parent);
    chooser.buildTree(setup);
    return chooser.exec() == QDialog::Accepted ? chooser.getSelection() : QString();
}

bool isTopLevelOf(Node_* node, Node_* setup) {
    QTreeWidgetItem* top = node;
    while (top->parent()) top = top->parent();
    return top == setup;
}

// Compares addresses only, so `wanted` may point at a node that is gone.
bool inSubtree(QTreeWidgetItem* root, const Node_* wanted) {
    if (dynamic_cast<Node_*>(root) == wanted) return true;
    for (int i = 0; i < root->childCount(); ++i)
        if (inSubtree(root->child(i), wanted)) return true;
    return false;
}

}  // namespace

CopySetup::CopySetup(QWidget* parent)
    : QDialog(parent),
      MW(qobject_cast<MainWindow*>(parent)),
      ST(MW ? MW->getSetupTree() : nullptr),
      Chooser(chooseParameter) {
    setupUi(this);
    connect(parameterList, &QListWidget::itemClicked, this, &CopySetup::refreshParameterDisplay);
    connect(fromText, &QLineEdit::editingFinished, this,
            QOverload<>::of(&CopySetup::refreshParameterInfo));
    connect(toText, &QLineEdit::editingFinished, this,
            QOverload<>::of(&CopySetup::refreshParameterInfo));
    connect(intervalsBox, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
            QOverload<int>::of(&CopySetup::refreshParameterInfo));
    connect(addButton, &QPushButton::pressed, this, &CopySetup::addParameter);
    connect(removeButton, &QPushButton::pressed, this, &CopySetup::removeParameter);
    connect(buttonBox, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttonBox, &QDialogButtonBox::rejected, this, &QDialog::reject);

    for (int i = 0; ST && i < ST->topLevelItemCount(); ++i) {
        setupBox->addItem(ST->topLevelItem(i)->text(0));
        if (ST->topLevelItem(i)->isSelected()) setupBox->setCurrentIndex(i);
    }
}

CopySetup::~CopySetup() = default;

QString CopySetup::numberText(double value) { return QString::number(value, 'e', 6); }

SetupNode_* CopySetup::getSetup(int id) const {
    return id >= 0 && id < SetupList.size() ? SetupList[id] : nullptr;
}

SetupNode_* CopySetup::templateNode() const {
    return dynamic_cast<SetupNode_*>(MainWindow::findTopLevelNode(setupBox->currentText(), ST));
}

CopySetup::variation* CopySetup::currentVariation() {
    const int row = parameterList->currentRow();
    for (variation& v : variations)
        if (v.listIndex == row) return &v;
    return nullptr;
}

void CopySetup::addParameter() {
    SetupNode_* templ = templateNode();
    if (!templ) {
        log("No template setup to choose a parameter from.", normal);
        return;
    }
    const QString path = Chooser(this, templ);
    if (path.isEmpty()) return;
    // The path is checked against the template: a typed path may name
    // nothing, or a parameter of another setup.
    Parameter_* source = templ->getParameterFromPath(path);
    Node_* owner = source ? source->getOwner() : nullptr;
    if (!owner || !isTopLevelOf(owner, templ)) {
        log(("No parameter of the template setup at " + path).toStdString(), normal);
        return;
    }
    parameterList->addItem(path);
    const double value = source->getValue()->text().toDouble();
    variations.append({parameterList->count() - 1, value, value, linear, owner, source});
    parameterList->setCurrentRow(parameterList->count() - 1);
    refreshParameterDisplay(nullptr);
}

void CopySetup::removeParameter() {
    const int row = parameterList->currentRow();
    if (row < 0) return;
    delete parameterList->takeItem(row);
    for (int k = variations.size() - 1; k >= 0; --k) {
        if (variations[k].listIndex == row)
            variations.remove(k);
        else if (variations[k].listIndex > row)
            --variations[k].listIndex;
    }
    // The line edits show the row that is current now, so leaving them
    // stores its own values back.
    refreshParameterDisplay(nullptr);
}

void CopySetup::refreshParameterDisplay(QListWidgetItem*) {
    const variation* v = currentVariation();
    if (!v) return;
    // Showing a row must not store the texts of the row shown before into it.
    const QSignalBlocker quiet(intervalsBox);
    intervalsBox->setCurrentIndex(v->increment);
    fromText->setText(numberText(v->from));
    toText->setText(numberText(v->to));
}

void CopySetup::refreshParameterInfo(int) { refreshParameterInfo(); }

void CopySetup::refreshParameterInfo() {
    variation* v = currentVariation();
    if (!v) return;
    v->increment = static_cast<increment_>(qBound(0, intervalsBox->currentIndex(), 2));
    v->from = fromText->text().toDouble();
    v->to = toText->text().toDouble();
}

double CopySetup::generateValue(CopySetup::variation v, int i) {
    const int copies = copiesBox->value();
    const double t = copies > 0 ? double(i) / copies : 0.0;
    switch (v.increment) {
    case logarithmic:
        return v.from * std::pow(v.to / v.from, t);
    case quadratic:
        return v.from + (v.to - v.from) * t * t;
    case linear:
        break;
    }
    return v.from + (i * (v.to - v.from)) / copies;
}

QStringList CopySetup::copyNames(QString& problem) const {
    QSet<QString> taken;
    for (int i = 0; ST && i < ST->topLevelItemCount(); ++i) taken.insert(ST->topLevelItem(i)->text(0));
    QStringList names;
    int n = startBox->value();
    for (int i = 0; i < copiesBox->value(); ++i) {
        // Different numbers give different names, so one more try than there
        // are taken names finds a free one unless the name cannot change
        // (no "#" or an increment of 0).
        QString name = nameText->text().replace('#', QString::number(n));
        for (int tries = taken.size(); taken.contains(name) && tries > 0; --tries) {
            n += incrementBox->value();
            name = nameText->text().replace('#', QString::number(n));
        }
        if (taken.contains(name)) {
            problem = tr("The name %1 is taken and the pattern %2 gives no other: the copies need "
                         "names of their own. Use \"#\" in the pattern and an increment above 0.")
                          .arg(name, nameText->text());
            return {};
        }
        taken.insert(name);
        names << name;
        n += incrementBox->value();
    }
    return names;
}

QString CopySetup::rangeProblem() const {
    for (const variation& v : variations) {
        if (v.increment != logarithmic) continue;
        if (!(v.from * v.to > 0) || !std::isfinite(v.from) || !std::isfinite(v.to))
            return tr("Logarithmic intervals of %1 need two bounds of the same sign, neither of them 0.")
                .arg(parameterList->item(v.listIndex) ? parameterList->item(v.listIndex)->text()
                                                      : QString());
    }
    return {};
}

bool CopySetup::pointsInto(const variation& v, Node_* setup) {
    // A variation left from before may point at nodes that are gone: it is
    // followed only once its node is found in the template.
    if (!inSubtree(setup, v.SourceNode)) return false;
    for (int k = 0; k < v.SourceNode->getParameters(); ++k)
        if (v.SourceNode->getParameter(k) == v.Source) return true;
    return false;
}

void CopySetup::applyVariation(const variation& v, SetupNode_* templ, SetupNode_* copy, int i) {
    Node_* target = CopyRoots_{*templ, *copy}.counterpart(v.SourceNode);
    const QString name = v.Source->getName()->text();
    if (!target || !target->hasParameter(name)) {
        log(("The copy " + copy->text(0) + " has no parameter " + name + " to vary.").toStdString(),
            normal);
        return;
    }
    target->getParameter(name)->setValue(numberText(generateValue(v, i)));
}

void CopySetup::makeCopies(SetupNode_* templ, const QStringList& names) {
    QVector<variation> applied;
    for (const variation& v : variations) {
        if (pointsInto(v, templ))
            applied << v;
        else
            log("A variation that does not belong to the template setup is skipped.", normal);
    }
    for (int i = 0; i < names.size(); ++i) {
        auto* copy = static_cast<SetupNode_*>(templ->recursiveCopy());
        copy->setText(0, names[i]);
        if (copy->hasParameter("Directory")) copy->getParameter("Directory")->setValue(names[i]);
        SetupList << copy;
        for (const variation& v : applied) applyVariation(v, templ, copy, i);
    }
}

int CopySetup::exec() {
    // Copies of an earlier use belong to the caller already.
    SetupList.clear();
    while (QDialog::exec() == Accepted) {
        SetupNode_* templ = templateNode();
        if (!templ) {
            MessageBox_::show(MessageBox_::warning, this, tr("Copy Setup"),
                              tr("There is no setup to copy."));
            return Rejected;
        }
        QString problem = rangeProblem();
        QStringList names;
        if (problem.isEmpty()) names = copyNames(problem);
        if (problem.isEmpty()) {
            makeCopies(templ, names);
            return Accepted;
        }
        MessageBox_::show(MessageBox_::warning, this, tr("Copy Setup"), problem);
    }
    return Rejected;
}
