// detect_command.cpp -- detect FILE.rod: every rod size with LZ77 on and off, and what restores.
#include "cli/detect_command.h"

#include <cstdio>

#include "cli/progress_line.h"
#include "rodfile/rod_header.h"
#include "run/restoration.h"
#include "status/json_writer.h"
#include "zstream/file_stream.h"

namespace quorvane::cli {
namespace {

std::string crc_text(uint32_t crc) {
    char text[16];
    std::snprintf(text, sizeof text, "%08x", crc);
    return text;
}

std::string result_text(const DetectedResult& result) {
    std::string text = std::to_string(result.bytes.size()) + " bytes, CRC-32 ";
    text.append(crc_text(result.crc32)).append(", ");
    text.append(std::to_string(result.cycles)).append(result.cycles == 1 ? " cycle" : " cycles");
    if (result.confirmed) text.append(", confirmed");
    return text;
}

// One line per result: every setting that gives it and what it gives.
std::vector<std::string> candidate_lines(const DetectionReport& report) {
    std::vector<std::string> lines;
    for (const DetectedResult& result : report.results) {
        lines.push_back(settings_text(result.settings) + ": " + result_text(result));
    }
    return lines;
}

std::string candidates_text(const DetectionReport& report) {
    std::string text;
    for (const std::string& line : candidate_lines(report))
        text.append("\n  ").append(line);
    return text;
}

// One detection, with a progress line on a terminal. A file's integrity trailer confirms the
// candidate it describes (the engine does that).
DetectionReport detect(const Options& options, const std::string& input,
                       const std::vector<uint8_t>& bytes, bool stop_when_decided) {
    ProgressLine progress(!options.quiet);
    DetectionOptions detection;
    detection.stop_when_decided = stop_when_decided;
    detection.progress = [&](int32_t done, int32_t total) {
        if (!progress.due()) return;
        progress.draw(input + ": trying settings, " + std::to_string(done) + " of " +
                      std::to_string(total));
    };
    DetectionReport report = detect_rod_settings(bytes, detection);
    progress.clear();
    return report;
}

std::vector<uint8_t> read_rod_file(const std::string& input) {
    FileStart file = read_file_start(source_of(input), kMaxRodFileBytes + 1);
    if (!file.whole() || static_cast<int64_t>(file.bytes.size()) > kMaxRodFileBytes) {
        throw Refusal(input, "larger than any rod file", ExitStatus::BadData);
    }
    return std::move(file.bytes);
}

void report_json(JsonWriter& json, const std::string& input, const DetectionReport& report) {
    json.begin_object().key("file").value(input);
    json.key("lz77_first").value(report.lz77_first);
    json.key("settings_total").value(report.total);
    json.key("settings_tried").value(report.tried);
    json.key("results").begin_array();
    for (const DetectedResult& result : report.results) {
        json.begin_object();
        json.key("bytes").value(static_cast<int64_t>(result.bytes.size()));
        json.key("crc32").value(crc_text(result.crc32));
        json.key("cycles").value(result.cycles);
        json.key("passes").value(result.passes);
        json.key("confirmed").value(result.confirmed);
        json.key("settings").begin_array();
        for (const RodSettingsPair& s : result.settings) {
            json.begin_object().key("rod_size").value(static_cast<int64_t>(s.rod_size));
            json.key("lz77").value(s.lz77).end_object();
        }
        json.end_array().end_object();
    }
    json.end_array().end_object();
}

ExitStatus run_detect(const Options& options) {
    JsonWriter json;
    json.begin_object().key("files").begin_array();
    bool in_json = false;  // the input at hand has its entry
    const ExitStatus status = for_each_input(
        options,
        [&](const std::string& input) {
            in_json = false;
            const DetectionReport report = detect(options, input, read_rod_file(input), false);
            if (options.json) {
                report_json(json, input, report);
                in_json = true;
            } else if (!options.quiet && !report.results.empty()) {
                std::string text = input + ": " + std::to_string(report.results.size());
                text.append(report.results.size() == 1 ? " result" : " different results");
                text.append(" from ").append(std::to_string(report.total)).append(" settings");
                print_out(text + candidates_text(report) + "\n");
            }
            if (report.results.empty()) {
                throw Refusal(input, one_line(kRestoreFailedMessage), ExitStatus::BadData);
            }
            if (report.results.size() > 1) {
                throw Refusal(
                    input,
                    "restores to " + std::to_string(report.results.size()) + " different files",
                    ExitStatus::BadData);
            }
        },
        [&](const std::string& input, const std::string& message) {
            if (in_json) return;
            json.begin_object().key("file").value(input).key("error").value(message).end_object();
        });
    json.end_array().end_object();
    if (options.json) print_out(json.text());
    return status;
}

}  // namespace

std::string settings_text(const std::vector<RodSettingsPair>& settings) {
    std::string text;
    for (const bool lz77 : {true, false}) {
        std::string sizes;
        for (size_t i = 0; i < settings.size(); ++i) {
            if (settings[i].lz77 != lz77) continue;
            // A run of consecutive sizes is shown as its first and last.
            size_t j = i;
            while (j + 1 < settings.size() && settings[j + 1].lz77 == lz77 &&
                   settings[j + 1].rod_size == settings[j].rod_size + 1) {
                ++j;
            }
            if (!sizes.empty()) sizes.append(",");
            sizes.append(std::to_string(settings[i].rod_size));
            if (j > i) sizes.append("-").append(std::to_string(settings[j].rod_size));
            i = j;
        }
        if (sizes.empty()) continue;
        if (!text.empty()) text.append("; ");
        text.append("-r ").append(sizes);
        if (!lz77) text.append(" --no-lz77");
    }
    return text;
}

RodSettingsPair detect_settings_of(const Options& options, const std::string& input) {
    const std::vector<uint8_t> bytes = read_rod_file(input);
    DetectionReport report = detect(options, input, bytes, true);
    if (report.results.empty()) {
        throw Refusal(input, one_line(kRestoreFailedMessage), ExitStatus::BadData);
    }
    if (report.results.size() > 1) {
        // Stopping at the second result decides the refusal, but the settings not yet tried may
        // give more files, or the true one: the list a person picks from must be whole.
        if (report.tried < report.total) report = detect(options, input, bytes, false);
        throw Refusal(input,
                      "restores to " + std::to_string(report.results.size()) +
                          " different files; nothing written:",
                      ExitStatus::BadData, candidate_lines(report));
    }
    return report.results.front().settings.front();
}

const Subcommand kDetectCommand{"detect",
                                "[--json] FILE.rod...",
                                "find the settings a rod file restores with",
                                kJsonOption,
                                run_detect,
                                "rod"};

}  // namespace quorvane::cli
