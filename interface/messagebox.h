#pragma once
// The one way the program shows a message box. By default a modal
// QMessageBox; tests install a handler that records each box and answers it,
// so no box ever blocks a test.
#include <QMessageBox>
#include <QString>
#include <functional>

class QWidget;

class MessageBox_ {
public:
    enum kind_ { information = 0, warning = 1, critical = 2, question = 3 };

    struct Request {
        kind_ kind;
        QString title;
        QString text;
        QMessageBox::StandardButtons buttons;
    };
    using Handler = std::function<QMessageBox::StandardButton(const Request&)>;

    // Shows the box (or hands it to the installed handler) and returns the
    // button that closed it.
    static QMessageBox::StandardButton show(kind_ kind, QWidget* parent, const QString& title,
                                            const QString& text,
                                            QMessageBox::StandardButtons buttons = QMessageBox::Ok,
                                            QMessageBox::StandardButton defaultButton =
                                                QMessageBox::NoButton);
    // An empty handler restores the real boxes.
    static void setHandler(Handler handler);
};
