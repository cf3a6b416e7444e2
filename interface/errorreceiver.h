#pragma once
// The receiver of the error list's changes: the main window, which mirrors
// the list in its error rows on the user-interface thread.
#include <QMetaType>
#include <QString>

class Node_;
// Node_ is not a QObject; its pointer is queued across threads as it is.
Q_DECLARE_OPAQUE_POINTER(Node_*)
Q_DECLARE_METATYPE(Node_*)

class ErrorReceiver_ {
public:
    virtual ~ErrorReceiver_() = default;
    // Called once when the registry takes the receiver, before any entry:
    // connects the requests below to the user-interface thread.
    virtual void connectError() = 0;
    // Both are called from any thread, with the registry locked, in list order.
    virtual void addError(QString message, Node_* source, int code) = 0;
    // -1 clears every row; an index past the rows changes nothing.
    virtual void deleteError(int i) = 0;
};
