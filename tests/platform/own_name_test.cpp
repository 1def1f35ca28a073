// gethostbyname of the machine's own name, in network namespaces made for
// each case with interfaces and addresses of our choosing. Needs root; the
// resolver files of each namespace come from /etc/netns/NAME, which
// ip netns exec binds over /etc.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <string>
#include <sys/stat.h>

namespace {

const char kPeerAddress[] = "192.0.2.33";
const char kHostsAddress[] = "192.0.2.99"; // what the hosts file claims for the own name

class OwnName : public testing::Test {
  protected:
    void SetUp() override {
        if (geteuid() != 0) {
            GTEST_SKIP() << "network namespaces need root";
        }
        static int serial = 0;
        name_ = "mvh2-" + std::to_string(getpid()) + "-" + std::to_string(++serial);
        if (!Run("ip netns add " + name_)) {
            name_.clear();
            GTEST_SKIP() << "network namespaces are not available here";
        }
        char own[256] = "";
        gethostname(own, sizeof(own) - 1);
        ownName_ = own;
        mkdir("/etc/netns", 0755); // shared with other tests: left in place
        etcDir_ = "/etc/netns/" + name_;
        ASSERT_EQ(0, mkdir(etcDir_.c_str(), 0755));
        // The own name in the hosts file must make no difference.
        WriteFile("hosts", "127.0.0.1 localhost\n" + std::string(kPeerAddress) + " peer.example\n" +
                               kHostsAddress + " " + ownName_ + "\n");
        WriteFile("nsswitch.conf", "hosts: files\n");
    }

    void TearDown() override {
        if (name_.empty()) {
            return;
        }
        Run("ip netns del " + name_);
        std::remove((etcDir_ + "/hosts").c_str());
        std::remove((etcDir_ + "/nsswitch.conf").c_str());
        rmdir(etcDir_.c_str());
    }

    // Every command is bounded; its output is not wanted.
    bool Run(const std::string& command) {
        return std::system(("timeout 10 " + command + " >/dev/null 2>&1").c_str()) == 0;
    }

    void InNamespace(const std::string& command) {
        ASSERT_TRUE(Run("ip -n " + name_ + " " + command)) << command;
    }

    void WriteFile(const char* file, const std::string& text) {
        std::ofstream out(etcDir_ + "/" + file);
        out << text;
    }

    // A veth pair with fixed interface indexes, so the system's interface
    // order is known: first, then second.
    void AddPair(const char* first, int firstIndex, const char* second, int secondIndex) {
        InNamespace(std::string("link add ") + first + " index " + std::to_string(firstIndex) +
                    " type veth peer name " + second + " index " + std::to_string(secondIndex));
    }

    void AddAddress(const char* device, const char* address) {
        InNamespace(std::string("addr add ") + address + " dev " + device);
    }

    void Up(const char* device) {
        InNamespace(std::string("link set ") + device + " up");
    }

    // The probe's lines, keyed by their first word, or by "name NAME".
    std::map<std::string, std::string> Probe() {
        std::map<std::string, std::string> lines;
        std::string command = "timeout 10 ip netns exec " + name_ +
                              " " OWN_NAME_PROBE " localhost peer.example no-such-host.invalid " +
                              UpperCase(ownName_) + " 2>&1";
        FILE* output = popen(command.c_str(), "r");
        if (output == nullptr) {
            ADD_FAILURE() << "cannot run the probe";
            return lines;
        }
        char line[1024];
        while (std::fgets(line, sizeof(line), output) != nullptr) {
            std::string text(line);
            text.erase(text.find_last_not_of('\n') + 1);
            size_t split = text.find(' ');
            if (text.compare(0, 5, "name ") == 0) {
                split = text.find(' ', 5);
            }
            lines[text.substr(0, split)] = split == std::string::npos ? "" : text.substr(split + 1);
        }
        EXPECT_EQ(0, pclose(output));
        return lines;
    }

    static std::string UpperCase(std::string text) {
        for (char& c : text) {
            c = (char)std::toupper((unsigned char)c);
        }
        return text;
    }

    void ExpectOwnList(const std::string& list, const std::string& local) {
        std::map<std::string, std::string> lines = Probe();
        EXPECT_EQ(list, lines["own"]);
        EXPECT_EQ(list, lines["name " + UpperCase(ownName_)]) << "own name in capitals";
        EXPECT_EQ(local, lines["local"]);
        // Every other name goes to the system resolver.
        EXPECT_EQ("127.0.0.1", lines["name localhost"]);
        EXPECT_EQ(kPeerAddress, lines["name peer.example"]);
        EXPECT_EQ("error 11001", lines["name no-such-host.invalid"]);
    }

    std::string name_;
    std::string etcDir_;
    std::string ownName_;
};

} // namespace

TEST_F(OwnName, OnlyLoopbackUpGivesLoopbackAlone) {
    Up("lo");
    ExpectOwnList("127.0.0.1", "127.0.0.1");
}

TEST_F(OwnName, NothingUpGivesLoopbackAlone) {
    AddPair("a0", 20, "a1", 21);
    AddAddress("a0", "203.0.113.7/24");
    AddAddress("a1", "198.51.100.4/24");
    std::map<std::string, std::string> lines = Probe();
    EXPECT_EQ("127.0.0.1", lines["own"]);
    EXPECT_EQ("127.0.0.1", lines["local"]);
}

TEST_F(OwnName, InterfacesThatAreUpInSystemOrder) {
    Up("lo");
    AddPair("a0", 20, "a1", 21);
    AddAddress("a0", "192.168.1.10/24");
    AddAddress("a0", "10.0.0.2/8");
    AddAddress("a1", "203.0.113.7/24");
    AddAddress("a1", "198.51.100.4/24");
    Up("a0");
    Up("a1");
    // b1 is up though its peer is not; b0 is down and left out.
    AddPair("b0", 22, "b1", 23);
    AddAddress("b0", "198.18.0.1/24");
    AddAddress("b1", "172.16.0.5/16");
    Up("b1");
    ExpectOwnList("192.168.1.10 10.0.0.2 203.0.113.7 198.51.100.4 172.16.0.5", "198.51.100.4");
}

TEST_F(OwnName, LinkLocalWinsOverPrivateAddresses) {
    Up("lo");
    AddPair("a0", 20, "a1", 21);
    AddAddress("a0", "10.1.1.1/8");
    AddAddress("a0", "169.254.3.4/16");
    AddAddress("a1", "192.168.0.9/24");
    Up("a0");
    Up("a1");
    ExpectOwnList("10.1.1.1 169.254.3.4 192.168.0.9", "169.254.3.4");
}

TEST_F(OwnName, AllPrivateGivesTheFirst) {
    AddPair("a0", 20, "a1", 21);
    AddAddress("a1", "192.168.0.3/24");
    AddAddress("a0", "10.0.0.2/8");
    Up("a1");
    Up("a0");
    ExpectOwnList("10.0.0.2 192.168.0.3", "10.0.0.2");
}
