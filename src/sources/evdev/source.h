// Wheels on Linux: the game controllers among the kernel's /dev/input/event* nodes, listed and
// opened as DirectInput sees controllers, each driven through the kernel's force-feedback
// interface by a NodeDriver.
#pragma once

#include <memory>
#include <ostream>
#include <set>
#include <string>
#include <vector>

#include "sources/evdev/kernel.h"
#include "sources/evdev/node.h"
#include "wheel/direct_input.h"

namespace evdev {

/// Where the kernel's event nodes appear.
inline constexpr const char* kInputDirectory = "/dev/input";

/// One game-controller node as a scan found it.
struct Controller {
    std::string path;
    NodeCapabilities capabilities;
    wheel::DriverInfo info;
};

/// A node that looks like a game controller but may not be opened.
struct RefusedNode {
    std::string path;
    std::string name;  ///< from sysfs; empty where unknown
};

/// The game controllers among the /dev/input/event* nodes, in numeric order. Nodes the user may
/// not open go to refused when sysfs says they could be game controllers (or cannot say);
/// nodeCount, when given, receives how many event nodes there were.
std::vector<Controller> scanControllers(Kernel& kernel, std::vector<RefusedNode>* refused,
                                        std::size_t* nodeCount = nullptr);

/// Opens, for driving, the node that now has that instance GUID, and fills controller; an empty
/// file descriptor when no node has it.
FileDescriptor openController(Kernel& kernel, REFGUID instance, Controller& controller);

class EvdevSource final : public wheel::DriverSource {
  public:
    /// errors receives one line, the first time it is seen, for each node that may not be
    /// opened, saying how to grant access. kernel and errors must outlive the source's drivers.
    EvdevSource(Kernel& kernel, std::ostream& errors) : kernel_(kernel), errors_(errors) {}

    void listDevices(std::vector<wheel::DriverInfo>& out) override;
    std::unique_ptr<wheel::Driver> openDevice(REFGUID instance) override;
    /// Looked in /dev/input/event* (N nodes); what could not be opened; where to read on.
    std::string noneFoundHint() const override;

  private:
    Kernel& kernel_;
    std::ostream& errors_;
    std::set<std::string> reported_;
    std::size_t lastNodeCount_ = 0;
    std::size_t lastRefusedCount_ = 0;
};

}  // namespace evdev
