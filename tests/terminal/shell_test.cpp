// ShellExecuteA with stand-in openers on a path of the test's own: the
// result tells whether the opener could start, and the opener gets the URL
// and standard descriptors on /dev/null, and no other descriptor.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <string>
#include <thread>

#include "terminal/shell32.h"

namespace {

// Writes the URL and the numbers of the descriptors it should not have,
// with shell built-ins only, which open none (its shell keeps one on the
// script itself).
const char kOpener[] = "#!/bin/sh\n"
                       "extra=\n"
                       "for fd in 0 1 2; do\n"
                       "    [ /proc/$$/fd/$fd -ef /dev/null ] || extra=\"$extra $fd\"\n"
                       "done\n"
                       "fd=3\n"
                       "while [ $fd -lt 256 ]; do\n"
                       "    if [ -e /proc/$$/fd/$fd ] && ! [ /proc/$$/fd/$fd -ef \"$0\" ]; then\n"
                       "        extra=\"$extra $fd\"\n"
                       "    fi\n"
                       "    fd=$((fd + 1))\n"
                       "done\n"
                       "printf '%s|%s\\n' \"$*\" \"$extra\" >\"${0%/*}/record\"\n";

std::string ReadRecord(const std::string& file) {
    for (int tries = 0; tries < 100; ++tries) {
        std::ifstream in(file);
        std::string line;
        if (std::getline(in, line)) {
            return line;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return "no record";
}

} // namespace

TEST(ShellExecute, TellsWhetherTheOpenerStarted) {
    struct Case {
        const char* what;
        bool present;
        mode_t mode;
        bool started;
    } cases[] = {
        {"an opener", true, 0755, true},
        {"no opener", false, 0, false},
        {"an opener that cannot be run", true, 0644, false},
    };
    const char* path = std::getenv("PATH");
    const std::string savedPath = path != nullptr ? path : "";
    // A descriptor of ours that the opener must not get.
    int ours = open(".", O_RDONLY);
    ASSERT_GT(ours, 2);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        char folder[] = "/tmp/marvoly-shell.XXXXXX";
        ASSERT_NE(nullptr, mkdtemp(folder));
        std::string opener = std::string(folder) + "/xdg-open";
        if (c.present) {
            std::ofstream(opener) << kOpener;
            chmod(opener.c_str(), c.mode);
        }
        setenv("PATH", folder, 1);
        std::intptr_t result = (std::intptr_t)ShellExecuteA(
            nullptr, nullptr, "http://example.test/a b", nullptr, nullptr, 1);
        setenv("PATH", savedPath.c_str(), 1);
        EXPECT_EQ(c.started, result > 32) << result;
        if (c.started) {
            EXPECT_EQ("http://example.test/a b|", ReadRecord(std::string(folder) + "/record"));
        }
        std::remove((std::string(folder) + "/record").c_str());
        std::remove(opener.c_str());
        rmdir(folder);
    }
    close(ours);
}
