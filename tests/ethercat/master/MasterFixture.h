// The process-wide master wired to a fake segment through the in-memory transport.
#pragma once

#include <gtest/gtest.h>

#include "FakeBus.h"
#include "MasterContext.h"
#include "TestServers.h"
#include "ethercat.h"

class MasterTest : public ::testing::Test {
protected:
  static constexpr uint16_t kMailboxBytes = 128;
  fakebus::Bus bus;
  ecmaster::MemoryTransport* link = nullptr;

  void SetUp() override {
    auto transport = std::make_unique<ecmaster::MemoryTransport>(
        [this](std::vector<uint8_t> frame) { return bus.process(std::move(frame)); });
    link = transport.get();
    ec_init_transport(std::move(transport));
  }
  void TearDown() override { ec_close(); }

  fakebus::Device& device(size_t position) { return bus.devices.at(position - 1); }

  // A CoE + FoE device with 128-byte mailboxes and process-data SMs at 0x1100 / 0x1180.
  void addMailboxDevice(fakebus::CoeServer* coe, fakebus::FoeServer* foe = nullptr,
                        uint32_t product = 0x77) {
    fakebus::Device d;
    d.eeprom = fakebus::siiImage(0x0F5E, product, 0x1000, 0x1080, kMailboxBytes, 0x0C, "MailboxDevice",
                                 {{0x1000, kMailboxBytes, 0x26, 1}, {0x1080, kMailboxBytes, 0x22, 2},
                                  {0x1100, 0, 0x24, 3}, {0x1180, 0, 0x20, 4}});
    d.onMailbox = [coe, foe](fakebus::Device& dev, const std::vector<uint8_t>& m) {
      if (coe) coe->handle(dev, m);
      if (foe) foe->handle(dev, m);
    };
    bus.devices.push_back(std::move(d));
  }
  void addImageDevice(std::vector<uint8_t> image) {
    fakebus::Device d;
    d.eeprom = std::move(image);
    bus.devices.push_back(std::move(d));
  }
  ecmaster::Context& context() { return ecmaster::globalContext(); }
};
