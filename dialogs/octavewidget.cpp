#include "dialogs/octavewidget.h"

OctaveWidget_::OctaveWidget_() {
    setupUi(this);
    outputText->setPlainText(
        QStringLiteral("Embeded Octave functionality is not yet supported under Windows."));
}

void OctaveWidget_::sendCommand(const QString&) {}

void OctaveWidget_::sendData(Measurement_*, int, const QString&) {}

void OctaveWidget_::sendData(void*, DataShape_*, const QString&) {}

void OctaveWidget_::sendData(Pulse_*, const QString&) {}

void OctaveWidget_::sendData(Parameter_*) {
    log("Call to unimplemented function void OctaveWidget_::sendData(Parameter_ P)", normal);
}
