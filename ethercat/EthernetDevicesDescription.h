// One network adapter as the capture library lists it; `name` is what openHardware takes.
#pragma once

#include <string>
#include <utility>

class EthernetDevicesDescription {
public:
    EthernetDevicesDescription() = default;
    EthernetDevicesDescription(std::string adapterName, std::string adapterDescription)
        : name(std::move(adapterName)), description(std::move(adapterDescription)) {}

    std::string getName() const { return name; }
    void setName(std::string value) { name = std::move(value); }
    std::string getDescription() const { return description; }
    void setDescription(std::string value) { description = std::move(value); }

private:
    std::string name;
    std::string description;
};
