#include "app/html_report.h"

#include <cstdio>
#include <cstring>

#include "app/deep_report.h"

namespace {

const char kStyle[] =
    "body{font:15px/1.4 sans-serif;margin:2em auto;max-width:820px;color:#222}"
    "h1{font-size:1.5em}h2{font-size:1.15em;margin-top:1.6em}"
    "table{border-collapse:collapse;width:100%}td,th{text-align:left;vertical-align:top;"
    "padding:3px 8px;border-bottom:1px solid #ddd}th{white-space:nowrap;font-weight:600}"
    ".note{background:#f4f4f4;padding:.6em 1em}.advice{color:#555}svg{width:100%;height:auto}"
    "svg text{font:12px sans-serif}";

enum WayColour { kGreen, kAmber, kRed };
const char* const kColourNames[] = {"green", "amber", "red"};
const char* const kColourValues[] = {"#1a7f37", "#c77c02", "#c62828"};

// The words each way's colour goes by; any other is amber.
const char* const kGreenWords[] = {"yes", "direct", "passes"};
const char* const kRedWords[] = {"no", "relay", "blocked"};

WayColour ColourOf(const char* word) {
    for (const char* green : kGreenWords) {
        if (std::strcmp(word, green) == 0) {
            return kGreen;
        }
    }
    for (const char* red : kRedWords) {
        if (std::strcmp(word, red) == 0) {
            return kRed;
        }
    }
    return kAmber;
}

// Text as HTML: the markup's own characters and every byte above ASCII
// (Latin-1, as the report's texts are) as character references.
void WriteEscaped(std::FILE* out, const char* text) {
    for (const unsigned char* at = (const unsigned char*)text; *at != '\0'; ++at) {
        if (*at == '&' || *at == '<' || *at == '>' || *at == '"' || *at >= 0x80) {
            std::fprintf(out, "&#%u;", (unsigned)*at);
        } else if (*at >= 0x20 || *at == '\n') {
            std::fputc(*at, out);
        }
    }
}

// One element with escaped text: <tag attributes>text</tag>.
void WriteElement(std::FILE* out, const char* tag, const char* attributes, const char* text) {
    std::fprintf(out, "<%s%s>", tag, attributes);
    WriteEscaped(out, text);
    std::fprintf(out, "</%s>", tag);
}

// A box of the picture at x, its name above what it holds.
void WriteBox(std::FILE* out, int x, const char* name, const char* detail) {
    std::fprintf(out,
                 "<rect x=\"%d\" y=\"20\" width=\"130\" height=\"56\" rx=\"6\" "
                 "fill=\"#eef2f7\" stroke=\"#667\"/>",
                 x);
    char at[64];
    std::snprintf(at, sizeof(at), " x=\"%d\" y=\"44\" text-anchor=\"middle\"", x + 65);
    WriteElement(out, "text", at, name);
    std::snprintf(at, sizeof(at), " x=\"%d\" y=\"64\" text-anchor=\"middle\"", x + 65);
    WriteElement(out, "text", at, detail);
}

struct Way {
    const char* id;
    const char* label;
    const char* word;
    bool inward; // drawn from the echo host to this machine
};

void WriteWay(std::FILE* out, const Way* way, int row) {
    WayColour colour = ColourOf(way->word);
    int y = 110 + row * 36;
    int from = way->inward ? 745 : 85;
    int to = way->inward ? 85 : 745;
    std::fprintf(out,
                 "<g class=\"way\" id=\"way-%s\" data-colour=\"%s\"><line x1=\"%d\" y1=\"%d\" "
                 "x2=\"%d\" y2=\"%d\" stroke=\"%s\" stroke-width=\"4\" "
                 "marker-end=\"url(#head-%s)\"/>",
                 way->id, kColourNames[colour], from, y, to, y, kColourValues[colour],
                 kColourNames[colour]);
    char text[320];
    std::snprintf(text, sizeof(text), "%s: %s", way->label, AnswerText(way->word));
    char at[64];
    std::snprintf(at, sizeof(at), " x=\"415\" y=\"%d\" text-anchor=\"middle\"", y - 7);
    WriteElement(out, "text", at, text);
    std::fprintf(out, "</g>\n");
}

void WriteMarkers(std::FILE* out) {
    std::fprintf(out, "<defs>");
    for (int i = 0; i < 3; ++i) {
        std::fprintf(out,
                     "<marker id=\"head-%s\" viewBox=\"0 0 10 10\" refX=\"9\" refY=\"5\" "
                     "markerWidth=\"4\" markerHeight=\"4\" orient=\"auto\"><path d=\"M0 0L10 "
                     "5L0 10z\" fill=\"%s\"/></marker>",
                     kColourNames[i], kColourValues[i]);
    }
    std::fprintf(out, "</defs>\n");
}

const char* GatekeeperWord(Fact fact) {
    return fact == kFactYes ? "passes" : fact == kFactNo ? "blocked" : "unknown";
}

// This machine, the router (two with double NAT), the Internet and the
// echo host, and across them the four ways a call needs.
void WritePicture(std::FILE* out, const DetectionReport* report, const DeepFacts* facts) {
    std::fprintf(out, "<svg id=\"path\" viewBox=\"0 0 830 250\" "
                      "xmlns=\"http://www.w3.org/2000/svg\" role=\"img\">\n");
    WriteMarkers(out);
    WriteBox(out, 20, "This machine", report->localAddress);
    bool twice = facts->doubleNat == kFactYes;
    WriteBox(out, twice ? 180 : 240, "Router", twice ? "translates" : "");
    if (twice) {
        WriteBox(out, 330, "Router", "translates again");
    }
    WriteBox(out, 480, "Internet", report->foundInternet ? report->internetAddress : "");
    WriteBox(out, 680, "Echo host", "");
    const Readiness* answers = &facts->readiness;
    const Way ways[] = {
        {"calls-out", "Calls out, TCP 1720", answers->callsOut.word, false},
        {"calls-in", "Calls in, TCP 1720", answers->callsIn.word, true},
        {"media", "Picture and sound, UDP", answers->media.word, false},
        {"gatekeeper", "Gatekeeper, UDP 1719", GatekeeperWord(facts->gatekeeper.udp1719Out), false},
    };
    for (int i = 0; i < 4; ++i) {
        WriteWay(out, &ways[i], i);
    }
    std::fprintf(out, "</svg>\n");
}

void WriteAnswerRow(std::FILE* out, const char* label, const ReadinessAnswer* answer) {
    std::fprintf(out, "<tr class=\"answer\">");
    WriteElement(out, "th", "", label);
    WriteElement(out, "td", "", AnswerText(answer->word));
    std::fprintf(out, "<td>");
    WriteEscaped(out, answer->reason);
    if (answer->advice != nullptr) {
        WriteElement(out, "div", " class=\"advice\"", answer->advice);
    }
    std::fprintf(out, "</td></tr>\n");
}

void WriteAnswers(std::FILE* out, const Readiness* readiness) {
    std::fprintf(out, "<h2>Will calls work from here?</h2>\n<table id=\"answers\">\n");
    WriteAnswerRow(out, "Calls out", &readiness->callsOut);
    WriteAnswerRow(out, "Calls in", &readiness->callsIn);
    WriteAnswerRow(out, "Media", &readiness->media);
    WriteAnswerRow(out, "Quality", &readiness->quality);
    WriteAnswerRow(out, "H.323 ALG", &readiness->alg);
    WriteAnswerRow(out, "Hold", &readiness->hold);
    std::fprintf(out, "</table>\n");
    if (readiness->noteCaveat != nullptr) {
        WriteElement(out, "p", " class=\"note\"", readiness->noteCaveat);
    }
}

// A plot's frame: width by 160, a label on its side.
void StartPlot(std::FILE* out, const char* id, int width, const char* label) {
    std::fprintf(out,
                 "<svg id=\"%s\" viewBox=\"0 0 %d 190\" xmlns=\"http://www.w3.org/2000/svg\">"
                 "<rect x=\"40\" y=\"10\" width=\"%d\" height=\"160\" fill=\"none\" "
                 "stroke=\"#999\"/>",
                 id, width + 50, width);
    WriteElement(out, "text", " x=\"40\" y=\"186\"", label);
}

// The highest of count values, at least 1, for the plot's scale.
int Highest(const short* values, int count) {
    int highest = 1;
    for (int i = 0; i < count; ++i) {
        highest = values[i] > highest ? values[i] : highest;
    }
    return highest;
}

// Each media request's round trip by when it was sent; a lost one as a
// red mark along the top.
void WriteMediaPlot(std::FILE* out, const MediaPath* media) {
    int count = media->quality.sent;
    if (count == 0) {
        return;
    }
    int highest = Highest(media->roundTripMs, count);
    std::fprintf(out, "<h2>A call's packets</h2>\n");
    char label[96];
    std::snprintf(label, sizeof(label),
                  "round trip of each of %d packets, 20 ms apart (top: %d ms)", count, highest);
    StartPlot(out, "media-plot", 600, label);
    for (int i = 0; i < count; ++i) {
        int x = 40 + i * 600 / kMediaPackets;
        short rtt = media->roundTripMs[i];
        if (rtt < 0) {
            std::fprintf(out, "<path class=\"lost\" d=\"M%d 10v12\" stroke=\"#c62828\"/>", x);
        } else {
            std::fprintf(out, "<circle class=\"rtt\" cx=\"%d\" cy=\"%d\" r=\"2\"/>", x,
                         170 - rtt * 150 / highest);
        }
    }
    std::fprintf(out, "</svg>\n");
}

void WriteLines(std::FILE* out, const ReportLines* lines) {
    for (int i = 0; i < lines->count; ++i) {
        std::fprintf(out, "<tr>");
        WriteElement(out, "th", "", lines->lines[i].label);
        WriteElement(out, "td", "", lines->lines[i].text);
        std::fprintf(out, "</tr>\n");
    }
}

void WriteFacts(std::FILE* out, const DetectionReport* report, const DeepFacts* facts) {
    ReportLines lines;
    lines.count = 0;
    ReportFieldLines(report, &lines);
    DeepFactLines(facts, &lines);
    std::fprintf(out, "<h2>The facts</h2>\n<table id=\"facts\">\n");
    WriteLines(out, &lines);
    std::fprintf(out, "</table>\n");
}

// One figure of the kept rounds as a line across the plot, highest at the
// top; unmeasured rounds leave it out.
void WritePolyline(std::FILE* out, const WatchHistory* history, bool p95, int highest,
                   const char* colour) {
    std::fprintf(out, "<polyline fill=\"none\" stroke=\"%s\" points=\"", colour);
    int span = history->count > 1 ? history->count - 1 : 1;
    for (int i = 0; i < history->count; ++i) {
        const MediaQuality* quality = &WatchPointAt(history, i)->quality;
        if (quality->grade != kMediaUnmeasured) {
            int rtt = p95 ? quality->rttP95Ms : quality->rttMedianMs;
            std::fprintf(out, "%d,%d ", 40 + i * 600 / span, 170 - rtt * 150 / highest);
        }
    }
    std::fprintf(out, "\"/>");
}

void WriteRoundsPlot(std::FILE* out, const WatchHistory* history) {
    int highest = 1;
    for (int i = 0; i < history->count; ++i) {
        int rtt = WatchPointAt(history, i)->quality.rttP95Ms;
        highest = rtt > highest ? rtt : highest;
    }
    char label[128];
    std::snprintf(label, sizeof(label),
                  "the last %d rounds: round trip median and 95th (top: %d ms), loss in red",
                  history->count, highest);
    StartPlot(out, "rounds-plot", 600, label);
    int span = history->count > 1 ? history->count - 1 : 1;
    for (int i = 0; i < history->count; ++i) {
        const MediaQuality* quality = &WatchPointAt(history, i)->quality;
        int height =
            quality->grade == kMediaUnmeasured ? 160 : (int)quality->lossPercent * 160 / 100;
        std::fprintf(out, "<path class=\"loss\" d=\"M%d 170v-%d\" stroke=\"#c62828\"/>",
                     40 + i * 600 / span, height);
    }
    WritePolyline(out, history, false, highest, "#1f5fbf");
    WritePolyline(out, history, true, highest, "#8a4fbf");
    std::fprintf(out, "</svg>\n");
}

void WriteFigureRow(std::FILE* out, const char* label, const MediaQuality* quality) {
    std::fprintf(out,
                 "<tr><th>%s</th><td>loss %.1f %%, round trip %d ms (median) and %d ms "
                 "(95th percentile), jitter %.1f ms</td></tr>\n",
                 label, quality->lossPercent, quality->rttMedianMs, quality->rttP95Ms,
                 quality->jitterMs);
}

void WriteRounds(std::FILE* out, const WatchHistory* history) {
    std::fprintf(out, "<h2>Watched</h2>\n");
    WriteRoundsPlot(out, history);
    MediaQuality median;
    WatchMedians(history, &median);
    std::fprintf(out, "<table id=\"rounds\"><tr><th>Rounds</th><td>%d, %d graded good</td></tr>\n",
                 history->rounds, history->good);
    WriteFigureRow(out, "Worst", &history->worst);
    WriteFigureRow(out, "Median", &median);
    std::fprintf(out, "</table>\n");
}

void WritePage(std::FILE* out, const DetectionReport* report, const DeepFacts* facts,
               const WatchHistory* history) {
    std::fprintf(out,
                 "<!DOCTYPE html>\n<html lang=\"en\"><head><meta charset=\"utf-8\">"
                 "<title>Will H.323 calls work from here?</title><style>%s</style></head>\n"
                 "<body>\n<h1>Will H.323 calls work from here?</h1>\n",
                 kStyle);
    WriteElement(out, "p", " class=\"note\" id=\"note\"", report->note);
    WritePicture(out, report, facts);
    WriteAnswers(out, &facts->readiness);
    WriteMediaPlot(out, &facts->media);
    if (history != nullptr) {
        WriteRounds(out, history);
    }
    WriteFacts(out, report, facts);
    std::fprintf(out, "</body></html>\n");
}

} // namespace

bool HtmlFileWritable(const char* path) {
    if (std::strcmp(path, "-") == 0) {
        return true;
    }
    std::FILE* there = std::fopen(path, "rb");
    bool existed = there != nullptr;
    if (existed) {
        std::fclose(there);
    }
    std::FILE* file = std::fopen(path, "ab");
    if (file == nullptr) {
        return false;
    }
    std::fclose(file);
    if (!existed) {
        std::remove(path);
    }
    return true;
}

bool WriteHtmlFile(const char* path, const DetectionReport* report, const DeepFacts* facts,
                   const WatchHistory* history) {
    bool standard = std::strcmp(path, "-") == 0;
    std::FILE* out = standard ? stdout : std::fopen(path, "wb");
    if (out == nullptr) {
        return false;
    }
    WritePage(out, report, facts, history);
    bool written = std::fflush(out) == 0 && !std::ferror(out);
    if (!standard) {
        written = std::fclose(out) == 0 && written;
    }
    return written;
}
