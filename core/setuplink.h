#pragma once
// What a cavity reads of the setup that owns it. The setup implements it;
// both values are live (bound to the setup's tree parameters).

class SetupLink_ {
public:
    // Samples of every pulse the setup creates.
    virtual int getSamples() const = 0;
    // Round trips the setup runs.
    virtual int getRoundtrips() const = 0;

protected:
    ~SetupLink_() = default;
};
