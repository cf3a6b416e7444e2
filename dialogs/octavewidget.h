#pragma once
// The page of the "Analysis" tab, where measured data would go to an
// embedded Octave interpreter. None is available, so the page shows a notice
// and every send does nothing.
#include <QString>
#include <QWidget>

#include "logger.h"
#include "ui_octavewidget.h"

class DataShape_;
class Measurement_;
class Parameter_;
class Pulse_;

class OctaveWidget_ : public QWidget, public Ui::OctaveWidget, public Logger_ {
    Q_OBJECT
public:
    OctaveWidget_();

    void sendCommand(const QString& command);
    void sendData(Measurement_* M, int id, const QString& name);
    void sendData(void* data, DataShape_* shape, const QString& name);
    void sendData(Pulse_* P, const QString& name);
    // Only logs that it is not implemented.
    void sendData(Parameter_* P);

signals:
    void outputBufferUpdated();
};
