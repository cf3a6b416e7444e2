#pragma once
// What a cavity uses of the tree node that built it: the node's part of the
// error registry and the notice that the cavity is going away.
class Cavity_;
class Error_;

class CavityNodeLink_ {
public:
    virtual Error_& getErrorSource() = 0;
    // The cavity is being destroyed: a node that still refers to it forgets it.
    virtual void unlinkCavity(Cavity_* cavity) = 0;

protected:
    ~CavityNodeLink_() = default;
};
