// Discovery of evdev game controllers, and the source that lists and opens them.
#include "sources/evdev/source.h"

#include <fcntl.h>

#include <algorithm>
#include <cerrno>
#include <utility>

#include "sources/evdev/node_driver.h"

namespace evdev {
namespace {

constexpr int kDriverOpenFlags = O_RDWR | O_NONBLOCK | O_CLOEXEC;

// The event nodes' numbers, ascending: event2 before event10, as the kernel created them.
std::vector<int> eventNumbers(Kernel& kernel) {
    std::vector<int> numbers;
    for (const std::string& name : kernel.listDirectory(kInputDirectory)) {
        if (name.size() <= 5 || name.size() > 10 || name.compare(0, 5, "event") != 0) continue;
        if (!std::all_of(name.begin() + 5, name.end(), [](char c) { return c >= '0' && c <= '9'; }))
            continue;
        numbers.push_back(std::stoi(name.substr(5)));
    }
    std::sort(numbers.begin(), numbers.end());
    return numbers;
}

// A small sysfs text file through the kernel seam; empty if it cannot be read.
std::string readSysfs(Kernel& kernel, int number, const char* file) {
    const std::string path = "/sys/class/input/event" + std::to_string(number) + "/device/" + file;
    FileDescriptor fd(kernel, kernel.open(path, O_RDONLY | O_CLOEXEC));
    if (!fd) return {};
    char text[1024];
    const long length = kernel.read(fd.get(), text, sizeof text - 1);
    return length > 0 ? std::string(text, static_cast<std::size_t>(length)) : std::string();
}

// Whether a node the user may not open is worth a line: sysfs is readable by everyone, so the
// keyboards, mice and touchpads every desktop keeps from its users are passed over in silence.
bool mayBeGameController(Kernel& kernel, int number, RefusedNode& refused) {
    const std::string axes = readSysfs(kernel, number, "capabilities/abs");
    std::string name = readSysfs(kernel, number, "name");
    while (!name.empty() && name.back() == '\n') name.pop_back();
    refused.name = name;
    if (axes.empty()) return true;
    NodeCapabilities capabilities;
    parseSysfsBitmap(axes, capabilities.axes);
    parseSysfsBitmap(readSysfs(kernel, number, "properties"), capabilities.properties);
    return isGameController(capabilities);
}

}  // namespace

std::vector<Controller> scanControllers(Kernel& kernel, std::vector<RefusedNode>* refused,
                                        std::size_t* nodeCount) {
    std::vector<Controller> found;
    std::vector<GUID> firstGuids;  // each controller's GUID at ordinal 0, to count namesakes
    const std::vector<int> numbers = eventNumbers(kernel);
    if (nodeCount != nullptr) *nodeCount = numbers.size();
    for (int number : numbers) {
        Controller controller;
        controller.path = std::string(kInputDirectory) + "/event" + std::to_string(number);
        FileDescriptor fd(kernel, kernel.open(controller.path, kDriverOpenFlags));
        if (!fd) {
            RefusedNode node{controller.path, {}};
            const int error = -fd.get();
            if ((error == EACCES || error == EPERM) && refused != nullptr &&
                mayBeGameController(kernel, number, node))
                refused->push_back(std::move(node));
            continue;
        }
        if (readCapabilities(kernel, fd.get(), controller.capabilities) < 0 ||
            !isGameController(controller.capabilities))
            continue;
        const GUID first = instanceGuid(controller.capabilities, 0);
        const int ordinal =
            static_cast<int>(std::count(firstGuids.begin(), firstGuids.end(), first));
        firstGuids.push_back(first);
        controller.info = describe(controller.capabilities, ordinal);
        found.push_back(std::move(controller));
    }
    return found;
}

FileDescriptor openController(Kernel& kernel, REFGUID instance, Controller& controller) {
    for (Controller& candidate : scanControllers(kernel, nullptr)) {
        if (!(candidate.info.instanceGuid == instance)) continue;
        FileDescriptor fd(kernel, kernel.open(candidate.path, kDriverOpenFlags));
        if (!fd || readCapabilities(kernel, fd.get(), candidate.capabilities) < 0) return {};
        controller = std::move(candidate);
        return fd;
    }
    return {};
}

void EvdevSource::listDevices(std::vector<wheel::DriverInfo>& out) {
    std::vector<RefusedNode> refused;
    for (const Controller& controller : scanControllers(kernel_, &refused, &lastNodeCount_))
        out.push_back(controller.info);
    lastRefusedCount_ = refused.size();
    for (const RefusedNode& node : refused) {
        if (!reported_.insert(node.path).second) continue;
        errors_ << "Cannot open " << node.path;
        if (!node.name.empty()) errors_ << " (" << node.name << ")";
        errors_ << ": permission denied. Grant access with a udev rule that adds "
                   "TAG+=\"uaccess\" for the device, or add your user to the input group.\n";
    }
}

std::string EvdevSource::noneFoundHint() const {
    std::string line = "Looked in " + std::string(kInputDirectory) + "/event*";
    if (lastNodeCount_ == 0) {
        line += ": no nodes there.";
    } else {
        line += " (" + std::to_string(lastNodeCount_) +
                (lastNodeCount_ == 1 ? " node); " : " nodes); ");
        if (lastRefusedCount_ == 0) {
            line += "none that may be a game controller was refused.";
        } else {
            line += std::to_string(lastRefusedCount_) +
                    (lastRefusedCount_ == 1 ? " that may be a game controller was"
                                            : " that may be game controllers were") +
                    " refused (see above).";
        }
    }
    return line + " Read \"Wheels on Linux\" in the README, or try --virtual-wheel.";
}

std::unique_ptr<wheel::Driver> EvdevSource::openDevice(REFGUID instance) {
    Controller controller;
    FileDescriptor fd = openController(kernel_, instance, controller);
    if (!fd) return nullptr;
    return std::make_unique<NodeDriver>(kernel_, std::move(fd), std::move(controller));
}

}  // namespace evdev
