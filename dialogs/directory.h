#pragma once
// A modal chooser of a directory that keeps the accepted choice for its
// owner. Only a directory that exists and can be written to is accepted.
#include <QFileDialog>
#include <QString>

class MainWindow;

class Directory_ : public QFileDialog {
public:
    // A child of the window.
    explicit Directory_(MainWindow* mw);
    ~Directory_() override;

    // Accepted: the chosen directory becomes the name; rejected: the name stays.
    int exec() override;
    QString getName() const { return Name; }
    void setName(const QString& name) { Name = name; }

protected:
    // Refuses, with a box, a choice that is no writable directory.
    void accept() override;

private:
    QString Name;
};
