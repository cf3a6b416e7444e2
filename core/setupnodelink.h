#pragma once
// What a setup uses of the tree node that built it: the node's part of the
// error registry (reports name the node as their source), its live-access
// channel, and the notice that the setup is going away.
class Accessor_;
class Error_;

class SetupNodeLink_ {
public:
    virtual Error_& getErrorSource() = 0;
    // Null when the node has no channel.
    virtual Accessor_* getAccessor() = 0;
    // The setup is being destroyed: the node forgets it and resets its channel.
    virtual void disconnectSetup() = 0;

protected:
    ~SetupNodeLink_() = default;
};
