// study_report.h -- a study's results as the records people read and programs parse: the texts
// of settings and outcomes, and the JSON of a file, shared by quorvane-cli study --json and the
// library's study call.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "run/study.h"
#include "status/json_writer.h"

namespace quorvane {

// The setting as the pack options that give it: "-r 2 -d 1 --no-lz77".
std::string setting_text(const StudySetting& s);

// "packed", "not successful", "not restored".
const char* outcome_name(StudyOutcome outcome);

double study_ratio(int64_t output, int64_t input);

void setting_json(JsonWriter& json, const StudySetting& s);
void total_json(JsonWriter& json, const StudyTotal& t);
// "verdict": the best setting against the smallest compressor baseline, or null.
void verdict_json(JsonWriter& json, const std::optional<StudyVerdict>& verdict, int best,
                  const std::vector<StudySetting>& sweep);

// One file's object: its sizes, baselines, a result per setting (with its trace if asked for),
// its blocks and its verdict; or its error or why it was skipped.
void file_study_json(JsonWriter& json, const FileStudy& f, const std::vector<StudySetting>& sweep,
                     bool trace);

}  // namespace quorvane
