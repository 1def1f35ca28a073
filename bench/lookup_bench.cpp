// One Internet lookup against the echo page, timed side by side with
// libcurl fetching the same URL with a fresh handle each time. The two are
// interleaved so that drift on the machine hits both alike.
//
//   bench_lookup [COUNT]   COUNT pairs (default 1000); prints the medians
//   bench_lookup --once    one lookup, for watching it on the wire
#include <curl/curl.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "address/internet_address.h"

namespace {

double SecondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

double TimeOurLookup() {
    char text[64];
    auto start = std::chrono::steady_clock::now();
    int found = GetInternetAddress(text);
    double seconds = SecondsSince(start);
    if (!found) {
        std::fprintf(stderr, "our lookup failed\n");
        std::exit(1);
    }
    return seconds;
}

double TimeCurlFetch(FILE* sink) {
    auto start = std::chrono::steady_clock::now();
    CURL* handle = curl_easy_init();
    curl_easy_setopt(handle, CURLOPT_URL, MARVOLY_ECHO_URL);
    curl_easy_setopt(handle, CURLOPT_HTTP_VERSION, (long)CURL_HTTP_VERSION_1_0);
    curl_easy_setopt(handle, CURLOPT_WRITEDATA, sink);
    CURLcode code = curl_easy_perform(handle);
    curl_easy_cleanup(handle);
    double seconds = SecondsSince(start);
    if (code != CURLE_OK) {
        std::fprintf(stderr, "libcurl failed: %s\n", curl_easy_strerror(code));
        std::exit(1);
    }
    return seconds;
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    size_t middle = values.size() / 2;
    return values.size() % 2 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

} // namespace

int main(int argc, char** argv) {
    if (argc > 1 && std::strcmp(argv[1], "--once") == 0) {
        std::printf("%.1f us\n", TimeOurLookup() * 1e6);
        return 0;
    }
    int count = argc > 1 ? std::atoi(argv[1]) : 1000;
    FILE* sink = std::fopen("/dev/null", "wb");
    curl_global_init(CURL_GLOBAL_DEFAULT);
    // One of each first, so that neither pays for the first connection.
    TimeOurLookup();
    TimeCurlFetch(sink);
    std::vector<double> ours, curl, ratios;
    for (int i = 0; i < count; ++i) {
        // Alternate which goes first, so neither always follows the other.
        double a = i % 2 ? TimeCurlFetch(sink) : TimeOurLookup();
        double b = i % 2 ? TimeOurLookup() : TimeCurlFetch(sink);
        double our = i % 2 ? b : a;
        double theirs = i % 2 ? a : b;
        ours.push_back(our);
        curl.push_back(theirs);
        ratios.push_back(our / theirs);
    }
    curl_global_cleanup();
    std::fclose(sink);
    std::printf("pairs %d, url %s\n", count, MARVOLY_ECHO_URL);
    std::printf("median ours    %8.1f us\n", Median(ours) * 1e6);
    std::printf("median libcurl %8.1f us\n", Median(curl) * 1e6);
    std::printf("median ratio ours/libcurl %.3f\n", Median(ratios));
    return 0;
}
