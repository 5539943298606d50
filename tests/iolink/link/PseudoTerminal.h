// A pseudo-terminal pair for tests: the test holds the master side and plays the IO-Link master
// by hand; the library opens the slave side like a serial port.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

class PseudoTerminal {
public:
    PseudoTerminal();
    ~PseudoTerminal();
    PseudoTerminal(const PseudoTerminal&) = delete;
    PseudoTerminal& operator=(const PseudoTerminal&) = delete;

    const std::string& slavePath() const { return path; }
    void write(const std::vector<uint8_t>& bytes);
    // Whatever arrives within `wait` (at most `limit` bytes).
    std::vector<uint8_t> read(size_t limit, std::chrono::milliseconds wait);

private:
    int masterFd = -1;
    std::string path;
};
