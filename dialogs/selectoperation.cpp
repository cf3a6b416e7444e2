#include "dialogs/selectoperation.h"

#include <iterator>

namespace {

struct Template {
    const char* text;
    const char* description;
};

// Each names a function of the expression language, spelled as the parser
// knows it, with one empty slot per argument.
const Template templates[] = {
    {"Energy()", "double Energy(Pulse)\nCalculates the energy of the pulse."},
    {"MSQ()", "double MSQ(Pulse)\nCalculates the Mean Square Deviation width of the pulse"},
    {"FWHM()",
     "double FWHM(Pulse)\nCalculates the Full Width at Half Maximum of the pulse. The accuracy is "
     "limited to the width of one sample."},
    {"Intensity(, )",
     "double Intensity(Electric Potential, Beam Radius)\nCalculates the intensity from a given "
     "electric field potentials. Electric field potentials are what is used by KORVANE to represent "
     "the pulse envelope."},
    {"Re()", "double Re(Complex Number)\nReturns the real part of a complex number."},
    {"Im()", "double Im(Complex Number)\nReturns the imaginary part of a complex number."},
    {"Abs()", "double Abs(Number)\nReturns the absolute value of a complex or real number."},
    {"Arg()", "double Arg(Complex Number)\nReturns the phase of a complex number."},
};

}  // namespace

SelectOperation::SelectOperation(QWidget* parent) : QDialog(parent) {
    setupUi(this);
    for (const Template& t : templates) operationBox->addItem(QString::fromLatin1(t.text));
    refresh();
    connect(operationBox, qOverload<int>(&QComboBox::currentIndexChanged), this,
            &SelectOperation::selectionChanged);
}

QString SelectOperation::getSelection() const { return operationBox->currentText(); }

void SelectOperation::selectionChanged(int) { refresh(); }

void SelectOperation::refresh() {
    const int i = operationBox->currentIndex();
    if (i < 0 || i >= static_cast<int>(std::size(templates))) return;
    descriptionString->setPlainText(QString::fromLatin1(templates[i].description));
}
