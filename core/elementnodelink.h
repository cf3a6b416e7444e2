#pragma once
// What a simulation element uses of the element or element-group node that
// built it: the node's part of the error registry and the notice that the
// element is going away.
class CavityElement_;
class Error_;

class ElementNodeLink_ {
public:
    virtual Error_& getErrorSource() = 0;
    // The element is being destroyed: a node that still refers to it forgets
    // it (a node rebuilt since then keeps its newer element).
    virtual void unlinkElement(CavityElement_* element) = 0;

protected:
    ~ElementNodeLink_() = default;
};
