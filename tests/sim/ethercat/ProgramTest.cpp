// The ethercat-sim program on veth1 of a network namespace made for this test; one BRD sent on
// veth0 comes back with a working counter equal to the device count. Runs only under netns-run.
#include "SimBus.h"

#include <gtest/gtest.h>

#include <pcap/pcap.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

using namespace simtest;

namespace {

bool inOwnNamespace() { return std::getenv("FSN_NETNS_VETH") != nullptr && std::getenv("FSN_IN_NETNS") != nullptr; }

struct Child {
    pid_t pid = -1;
    FILE* output = nullptr;
};

Child start(const std::vector<std::string>& arguments)
{
    int pipeEnds[2];
    if (pipe(pipeEnds) != 0)
        return {};
    pid_t pid = fork();
    if (pid == 0) {
        dup2(pipeEnds[1], STDOUT_FILENO);
        close(pipeEnds[0]);
        close(pipeEnds[1]);
        std::vector<char*> argv;
        std::string program = FSN_ETHERCAT_SIM;
        argv.push_back(program.data());
        std::vector<std::string> copies = arguments;
        for (auto& a : copies)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        execv(program.c_str(), argv.data());
        _exit(127);
    }
    close(pipeEnds[1]);
    return {pid, fdopen(pipeEnds[0], "r")};
}

int waitExit(pid_t pid)
{
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

}  // namespace

TEST(Program, RefusesAnInterfaceThatIsNotAVeth)
{
    if (!inOwnNamespace())
        GTEST_SKIP() << "runs under scripts/netns-run only";
    auto child = start({"--interface", "nosuchif0", "--device", "io"});
    ASSERT_GT(child.pid, 0);
    EXPECT_EQ(waitExit(child.pid), 3);
    fclose(child.output);
}

TEST(Program, AnswersABroadcastReadOnTheVethPair)
{
    if (!inOwnNamespace())
        GTEST_SKIP() << "runs under scripts/netns-run only";
    auto child = start({"--interface", "veth1", "--device", "own:2", "--device", "foreign-coe", "--device", "io",
                        "--sii", std::string(FSN_SII_FOLDER) + "ek1100.bin"});
    ASSERT_GT(child.pid, 0);
    char line[256] = {};
    ASSERT_NE(fgets(line, sizeof line, child.output), nullptr);
    EXPECT_EQ(std::string(line), "ready on veth1 with 5 devices\n");

    char errorText[PCAP_ERRBUF_SIZE] = {};
    pcap_t* pcap = pcap_create("veth0", errorText);
    ASSERT_NE(pcap, nullptr) << errorText;
    pcap_set_immediate_mode(pcap, 1);
    pcap_set_timeout(pcap, 1);
    ASSERT_GE(pcap_activate(pcap), 0) << pcap_geterr(pcap);
    pcap_setdirection(pcap, PCAP_D_IN);
    bpf_program filter{};
    ASSERT_EQ(pcap_compile(pcap, &filter, "ether proto 0x88a4", 1, PCAP_NETMASK_UNKNOWN), 0);
    pcap_setfilter(pcap, &filter);
    pcap_freecode(&filter);

    auto frame = buildFrame({{BRD, 0, 0x0000, {0, 0}, 0, 9}});
    std::optional<Datagram> reply;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (!reply && std::chrono::steady_clock::now() < deadline) {
        ASSERT_EQ(pcap_sendpacket(pcap, frame.data(), int(frame.size())), 0);
        auto waitUntil = std::chrono::steady_clock::now() + std::chrono::milliseconds(200);
        while (!reply && std::chrono::steady_clock::now() < waitUntil) {
            pcap_pkthdr* header = nullptr;
            const u_char* bytes = nullptr;
            if (pcap_next_ex(pcap, &header, &bytes) == 1) {
                std::vector<uint8_t> received(bytes, bytes + header->caplen);
                auto datagrams = parseFrame(received);
                if (datagrams && !datagrams->empty() && (received[6] & 0x02) != 0 && datagrams->front().index == 9)
                    reply = datagrams->front();
            }
        }
    }
    pcap_close(pcap);
    ASSERT_TRUE(reply) << "no answer from the simulator";
    EXPECT_EQ(reply->wkc, 5);
    EXPECT_EQ(reply->adp, 5);

    kill(child.pid, SIGTERM);
    EXPECT_EQ(waitExit(child.pid), 0) << "clean exit on SIGTERM";
    fclose(child.output);
}
