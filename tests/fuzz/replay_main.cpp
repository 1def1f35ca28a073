// Feeds every committed corpus and regression input to one harness, so that
// the ordinary test run keeps what the fuzzer once found fixed.
#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "fuzz_check.h"

namespace {

bool ReadWholeFile(const std::string& path, std::vector<uint8_t>* bytes) {
    FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) {
        return false;
    }
    uint8_t chunk[4096];
    size_t got;
    while ((got = std::fread(chunk, 1, sizeof(chunk), file)) > 0) {
        bytes->insert(bytes->end(), chunk, chunk + got);
    }
    std::fclose(file);
    return true;
}

// A directory stands for its regular files, in name order; a missing
// directory (no regressions yet) stands for nothing.
void CollectInputs(const std::string& path, std::vector<std::string>* inputs) {
    struct stat status;
    if (stat(path.c_str(), &status) != 0) {
        return;
    }
    if (!S_ISDIR(status.st_mode)) {
        inputs->push_back(path);
        return;
    }
    DIR* directory = opendir(path.c_str());
    if (directory == nullptr) {
        return;
    }
    std::vector<std::string> names;
    while (struct dirent* entry = readdir(directory)) {
        std::string child = path + "/" + entry->d_name;
        if (entry->d_name[0] != '.' && stat(child.c_str(), &status) == 0 &&
            S_ISREG(status.st_mode)) {
            names.push_back(child);
        }
    }
    closedir(directory);
    std::sort(names.begin(), names.end());
    inputs->insert(inputs->end(), names.begin(), names.end());
}

} // namespace

int main(int argc, char** argv) {
    std::vector<std::string> inputs;
    for (int i = 1; i < argc; ++i) {
        CollectInputs(argv[i], &inputs);
    }
    for (const std::string& input : inputs) {
        std::vector<uint8_t> bytes;
        if (!ReadWholeFile(input, &bytes)) {
            std::fprintf(stderr, "cannot read %s\n", input.c_str());
            return 1;
        }
        std::printf("%s (%zu bytes)\n", input.c_str(), bytes.size());
        std::fflush(stdout);
        LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
    }
    std::printf("replayed %zu inputs\n", inputs.size());
    // No input at all means the corpus went missing, not that all is well.
    return inputs.empty() ? 1 : 0;
}
