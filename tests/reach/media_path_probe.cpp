// Runs the media-path probe once and prints its record, a fact a line, for
// media_path.sh:
//
//   media_path_probe SERVER
#include <cstdio>

#include "platform/platform.h"
#include "reach/media_path.h"

int main(int argc, char** argv) {
    const char* const facts[] = {"unknown", "no", "yes"};
    WSADATA data;
    if (argc != 2 || WSAStartup(MAKEWORD(1, 1), &data) != 0) {
        std::fprintf(stderr, "usage: %s SERVER[:PORT]\n", argv[0]);
        return 2;
    }
    long long start = SteadyMilliseconds();
    MediaPath path;
    ProbeMediaPath(argv[1], kMediaPathBudgetMs, &path);
    const MediaQuality* media = &path.quality;
    const char* mapping = BehaviourName(path.mapping);
    const char* filtering = BehaviourName(path.filtering);
    const char* grade = MediaGradeName(media->grade);
    std::printf("took %lld\npasses %s\nmapped %s:%d\nmapping %s\nfiltering %s\nhairpin %s\n"
                "media %d %d loss %.1f rtt %d %d jitter %.1f reordered %d grade %s\nreason %s\n",
                SteadyMilliseconds() - start, facts[path.udpPasses + 1], path.mappedAddress,
                path.mappedPort, mapping != nullptr ? mapping : "unknown",
                filtering != nullptr ? filtering : "unknown", facts[path.hairpin + 1], media->sent,
                media->received, media->lossPercent, media->rttMedianMs, media->rttP95Ms,
                media->jitterMs, media->reordered, grade != nullptr ? grade : "unmeasured",
                path.reason);
    WSACleanup();
    return 0;
}
