#pragma once
#include <string>

// Which COMn can be opened now and what device stands behind it. The dialog
// asks through this so tests can present any set of ports.
class IComPorts {
public:
    virtual ~IComPorts() = default;
    // true when COMn exists and can be opened exclusively right now.
    virtual bool Probe(int n) = 0;
    // The device COMn stands for; empty when there is none.
    virtual std::string DeviceFor(int n) = 0;
};

// The machine's own ports (ProbeComPort / DeviceForComPort).
class SystemComPorts : public IComPorts {
public:
    bool Probe(int n) override;
    std::string DeviceFor(int n) override;
};
