#pragma once
// Helpers of the window tests: a recorder that answers every message box, a
// driver that acts on the next modal dialog from a timer, and a working
// directory of its own with or without the program's config/ files.
#include <QApplication>
#include <QDeadlineTimer>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QStringList>
#include <QTemporaryDir>
#include <QTimer>
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <vector>

#include "interface/messagebox.h"

namespace guitesting {

// Records each box and answers it with `answer` (or its first button).
class MessageBoxes {
public:
    explicit MessageBoxes(QMessageBox::StandardButton answer = QMessageBox::NoButton) {
        MessageBox_::setHandler([this, answer](const MessageBox_::Request& r) {
            shown.push_back(r);
            if (answer != QMessageBox::NoButton) return answer;
            for (int b = QMessageBox::FirstButton; b <= QMessageBox::LastButton; b <<= 1)
                if (r.buttons & b) return static_cast<QMessageBox::StandardButton>(b);
            return QMessageBox::NoButton;
        });
    }
    ~MessageBoxes() { MessageBox_::setHandler(answerOk()); }
    // What a test that does not look at boxes installs: every box gets Ok.
    static MessageBox_::Handler answerOk() {
        return [](const MessageBox_::Request&) { return QMessageBox::Ok; };
    }
    std::vector<MessageBox_::Request> shown;
};

// The helpers of onNextModalDialog still waiting for their dialog.
inline std::vector<QTimer*>& waitingForDialogs() {
    static std::vector<QTimer*> timers;
    return timers;
}

// Runs `act` on the next modal dialog as soon as the event loop of its exec()
// runs; a dialog that `act` leaves open is rejected. No dialog within
// `deadlineMs` fails the test and stops the helper: `act` never runs later.
inline void onNextModalDialog(std::function<void(QDialog*)> act, int deadlineMs = 20000) {
    auto* timer = new QTimer;
    waitingForDialogs().push_back(timer);
    const QDeadlineTimer deadline(deadlineMs);
    QObject::connect(timer, &QTimer::timeout, [timer, act, deadline, deadlineMs] {
        auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        if (!dialog && !deadline.hasExpired()) return;
        auto& waiting = waitingForDialogs();
        waiting.erase(std::find(waiting.begin(), waiting.end(), timer));
        timer->stop();
        timer->deleteLater();
        if (!dialog) {
            ADD_FAILURE() << "no modal dialog opened within " << deadlineMs << " ms";
            return;
        }
        act(dialog);
        if (dialog->isVisible()) dialog->reject();
    });
    timer->start(10);
}

// While it lives, acts on the modal dialogs that open, one step each, in
// order, as a user would; a dialog beyond the steps is rejected and its title
// kept in `unexpected`, so a wrong turn fails the test instead of blocking it.
class ModalDialogs {
public:
    explicit ModalDialogs(std::vector<std::function<void(QDialog*)>> steps) : steps(std::move(steps)) {
        QObject::connect(&timer, &QTimer::timeout, [this] {
            auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
            if (!dialog || !dialog->isVisible()) return;
            if (done < this->steps.size())
                this->steps[done++](dialog);
            else
                unexpected << dialog->windowTitle();
            if (dialog->isVisible()) dialog->reject();
        });
        timer.start(10);
    }
    size_t opened() const { return done; }
    QStringList unexpected;

private:
    std::vector<std::function<void(QDialog*)>> steps;
    size_t done = 0;
    QTimer timer;
};

// At the end of each test: a helper whose dialog never opened fails the test
// and goes, with what its action holds.
class DialogsNeverOpened : public ::testing::EmptyTestEventListener {
    void OnTestEnd(const ::testing::TestInfo&) override {
        for (QTimer* timer : waitingForDialogs()) {
            ADD_FAILURE() << "the modal dialog a helper waited for never opened";
            delete timer;
        }
        waitingForDialogs().clear();
    }
};

// Makes a fresh folder the working directory for the life of the object; with
// `withConfig` it holds a copy of the program's config/ folder.
class WorkingDirectory {
public:
    explicit WorkingDirectory(bool withConfig) : previous(QDir::currentPath()) {
        QDir::setCurrent(folder.path());
        if (!withConfig) return;
        QDir().mkdir("config");
        for (const char* name : {"preferences.config", "elements.config"})
            QFile::copy(QString(PLS_SOURCE_DIR "/config/") + name, QString("config/") + name);
    }
    ~WorkingDirectory() { QDir::setCurrent(previous); }
    static QByteArray read(const QString& path) {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    static void write(const QString& path, const QByteArray& text) {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(text);
    }

private:
    QTemporaryDir folder;
    QString previous;
};

}  // namespace guitesting
