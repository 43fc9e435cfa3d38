// study_command.cpp -- study FILE...: one aligned table (or CSV, or JSON) of every file under
// every setting of the sweep, beside the file's whole-file zlib size, with totals per setting.
#include "cli/study_command.h"

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "cli/json_writer.h"
#include "cli/progress_line.h"
#include "run/study.h"

namespace quorvane::cli {
namespace {

std::vector<StudySetting> sweep_of(const StudyOptions& o) {
    return study_sweep(o.rod_sizes, o.depths, o.lz77, o.loops, o.single);
}

// The setting as the pack options that give it.
std::string setting_text(const StudySetting& s) {
    std::string text = "-r " + std::to_string(s.rod_size) + " -d " + std::to_string(s.depth);
    if (!s.lz77) text.append(" --no-lz77");
    if (s.single) text.append(" --single");
    if (s.loops != 2) text.append(" --loops ").append(std::to_string(s.loops));
    return text;
}

std::string fixed(double value, int digits) {
    char text[64];
    std::snprintf(text, sizeof text, "%.*f", digits, value);
    return text;
}

double ratio(int64_t output, int64_t input) {
    return static_cast<double>(output) / static_cast<double>(input);
}

const char* outcome_name(StudyOutcome outcome) {
    switch (outcome) {
        case StudyOutcome::Packed:
            return "packed";
        case StudyOutcome::NotSuccessful:
            return "not successful";
        case StudyOutcome::NotRestored:
            return "not restored";
    }
    return "";
}

struct Totals {
    std::vector<StudyTotal> settings;
    StudyTotal zlib;
    int best = -1;  // the setting with the lowest total ratio
};

Totals totals_of(const std::vector<FileStudy>& studies, size_t setting_count) {
    Totals totals;
    totals.settings.resize(setting_count);
    for (const FileStudy& f : studies) {
        if (!f.studied()) continue;
        totals.zlib.add(f.input_bytes, f.zlib_bytes);
        for (size_t s = 0; s < setting_count; ++s)
            totals.settings[s].add(f.input_bytes, counted_bytes(f.measurements[s], f.input_bytes));
    }
    for (size_t s = 0; s < setting_count; ++s) {
        if (totals.settings[s].files > 0 &&
            (totals.best < 0 ||
             totals.settings[s].total_ratio() <
                 totals.settings[static_cast<size_t>(totals.best)].total_ratio())) {
            totals.best = static_cast<int>(s);
        }
    }
    return totals;
}

// Rows of cells printed in columns: text to the left, numbers to the right. A row of fewer cells
// than there are columns runs its last cell on freely (a skip reason).
class Table {
  public:
    explicit Table(std::vector<bool> right) : right_(std::move(right)) {}
    void add(std::vector<std::string> row) { rows_.push_back(std::move(row)); }
    std::string text() const {
        std::vector<size_t> widths(right_.size(), 0);
        for (const auto& row : rows_) {
            for (size_t c = 0; c < aligned(row); ++c)
                widths[c] = std::max(widths[c], row[c].size());
        }
        std::string out;
        for (const auto& row : rows_) {
            std::string line;
            for (size_t c = 0; c < row.size(); ++c) {
                if (c > 0) line.append("  ");
                const size_t pad = c < aligned(row) ? widths[c] - row[c].size() : 0;
                if (right_[c]) line.append(pad, ' ');
                line.append(row[c]);
                if (!right_[c]) line.append(pad, ' ');
            }
            while (!line.empty() && line.back() == ' ')
                line.pop_back();
            out.append(line).append("\n");
        }
        return out;
    }

  private:
    size_t aligned(const std::vector<std::string>& row) const {
        return row.size() >= right_.size() ? right_.size() : row.size() - 1;
    }

    std::vector<bool> right_;
    std::vector<std::vector<std::string>> rows_;
};

std::string table_text(const std::vector<FileStudy>& studies,
                       const std::vector<StudySetting>& sweep, const Totals& totals) {
    Table table({false, true, false, true, true, true, true, true, true, true, true, false});
    table.add({"file", "bytes", "settings", "rod bytes", "ratio", "cycles", "passes", "pack ms",
               "restore ms", "zlib bytes", "zlib ratio", ""});
    for (const FileStudy& f : studies) {
        if (f.error) continue;
        if (f.skipped) {
            table.add({f.path, std::to_string(f.input_bytes), "skipped: " + *f.skipped});
            continue;
        }
        for (size_t s = 0; s < sweep.size(); ++s) {
            const StudyMeasurement& m = f.measurements[s];
            const bool first = s == 0;
            std::vector<std::string> row = {first ? f.path : "",
                                            first ? std::to_string(f.input_bytes) : "",
                                            setting_text(sweep[s])};
            if (m.outcome == StudyOutcome::NotSuccessful) {
                row.insert(row.end(), {"-", "-", "-", "-", fixed(m.pack_ms, 1), "-"});
            } else {
                row.insert(row.end(), {std::to_string(m.rod_bytes),
                                       fixed(ratio(m.rod_bytes, f.input_bytes), 3) +
                                           (static_cast<int>(s) == f.best ? "*" : " "),
                                       std::to_string(m.cycles), std::to_string(m.passes),
                                       fixed(m.pack_ms, 1), fixed(m.restore_ms, 1)});
            }
            row.push_back(first ? std::to_string(f.zlib_bytes) : "");
            row.push_back(first ? fixed(ratio(f.zlib_bytes, f.input_bytes), 3) : "");
            row.push_back(m.outcome == StudyOutcome::Packed ? "" : outcome_name(m.outcome));
            table.add(std::move(row));
        }
    }
    std::string text = table.text();
    if (totals.zlib.files == 0) return text;

    Table sums({false, true, true, true, true, false});
    sums.add({"total over " + std::to_string(totals.zlib.files) +
                  (totals.zlib.files == 1 ? " file" : " files"),
              "bytes", "rod bytes", "total ratio", "geometric mean", ""});
    for (size_t s = 0; s < sweep.size(); ++s) {
        const StudyTotal& t = totals.settings[s];
        sums.add({setting_text(sweep[s]), std::to_string(t.input_bytes),
                  std::to_string(t.output_bytes), fixed(t.total_ratio(), 3),
                  fixed(t.geometric_mean(), 3), static_cast<int>(s) == totals.best ? "*" : ""});
    }
    sums.add({"zlib (compress)", std::to_string(totals.zlib.input_bytes),
              std::to_string(totals.zlib.output_bytes), fixed(totals.zlib.total_ratio(), 3),
              fixed(totals.zlib.geometric_mean(), 3), ""});
    text.append("\n").append(sums.text());
    text.append(
        "* best per file and over all files; a run not successful counts at the file's size\n");
    return text;
}

// A CSV field, quoted where it has to be.
std::string csv_field(const std::string& text) {
    if (text.find_first_of(",\"\n\r") == std::string::npos) return text;
    std::string quoted = "\"";
    for (const char c : text) {
        if (c == '"') quoted.push_back('"');
        quoted.push_back(c);
    }
    return quoted + "\"";
}

std::string csv_text(const std::vector<FileStudy>& studies,
                     const std::vector<StudySetting>& sweep) {
    std::string text =
        "file,input_bytes,rod_size,depth,lz77,single,loops,outcome,rod_bytes,ratio,cycles,passes,"
        "pack_ms,restore_ms,zlib_bytes,zlib_ratio,best,note\n";
    for (const FileStudy& f : studies) {
        if (f.error) continue;
        const std::string file = csv_field(f.path) + "," + std::to_string(f.input_bytes) + ",";
        if (f.skipped) {
            text.append(file).append(",,,,,skipped,,,,,,,,,,").append(csv_field(*f.skipped));
            text.append("\n");
            continue;
        }
        const std::string zlib =
            std::to_string(f.zlib_bytes) + "," + fixed(ratio(f.zlib_bytes, f.input_bytes), 4);
        for (size_t s = 0; s < sweep.size(); ++s) {
            const StudySetting& st = sweep[s];
            const StudyMeasurement& m = f.measurements[s];
            text.append(file);
            text.append(std::to_string(st.rod_size)).append(",").append(std::to_string(st.depth));
            text.append(st.lz77 ? ",on," : ",off,").append(st.single ? "yes," : "no,");
            text.append(std::to_string(st.loops)).append(",").append(outcome_name(m.outcome));
            if (m.outcome == StudyOutcome::NotSuccessful) {
                text.append(",,,,,").append(fixed(m.pack_ms, 3)).append(",,");
            } else {
                text.append(",").append(std::to_string(m.rod_bytes));
                text.append(",").append(fixed(ratio(m.rod_bytes, f.input_bytes), 4));
                text.append(",").append(std::to_string(m.cycles));
                text.append(",").append(std::to_string(m.passes));
                text.append(",").append(fixed(m.pack_ms, 3));
                text.append(",").append(fixed(m.restore_ms, 3)).append(",");
            }
            text.append(zlib).append(static_cast<int>(s) == f.best ? ",yes," : ",no,").append("\n");
        }
    }
    return text;
}

void setting_json(JsonWriter& json, const StudySetting& s) {
    json.key("settings").value(setting_text(s));
    json.key("rod_size").value(s.rod_size).key("depth").value(s.depth);
    json.key("lz77").value(s.lz77).key("single").value(s.single).key("loops").value(s.loops);
}

void total_json(JsonWriter& json, const StudyTotal& t) {
    json.key("files").value(t.files).key("input_bytes").value(t.input_bytes);
    json.key("output_bytes").value(t.output_bytes);
    json.key("total_ratio").value(t.total_ratio(), 4);
    json.key("geometric_mean").value(t.geometric_mean(), 4);
}

std::string json_text(const std::vector<FileStudy>& studies, const std::vector<StudySetting>& sweep,
                      const Totals& totals) {
    JsonWriter json;
    json.begin_object().key("files").begin_array();
    for (const FileStudy& f : studies) {
        json.begin_object().key("file").value(f.path).key("input_bytes").value(f.input_bytes);
        if (f.error) {
            try {
                std::rethrow_exception(f.error);
            } catch (const std::exception& e) {
                json.key("error").value(e.what());
            }
            json.end_object();
            continue;
        }
        if (f.skipped) {
            json.key("skipped").value(*f.skipped).end_object();
            continue;
        }
        json.key("zlib_bytes").value(f.zlib_bytes);
        json.key("zlib_ratio").value(ratio(f.zlib_bytes, f.input_bytes), 4);
        json.key("results").begin_array();
        for (size_t s = 0; s < sweep.size(); ++s) {
            const StudyMeasurement& m = f.measurements[s];
            json.begin_object();
            setting_json(json, sweep[s]);
            json.key("outcome").value(outcome_name(m.outcome));
            json.key("pack_ms").value(m.pack_ms, 3);
            if (m.outcome != StudyOutcome::NotSuccessful) {
                json.key("rod_bytes").value(m.rod_bytes);
                json.key("ratio").value(ratio(m.rod_bytes, f.input_bytes), 4);
                json.key("cycles").value(m.cycles).key("passes").value(m.passes);
                json.key("restore_ms").value(m.restore_ms, 3);
            }
            json.key("best").value(static_cast<int>(s) == f.best);
            json.end_object();
        }
        json.end_array().end_object();
    }
    json.end_array().key("totals").begin_array();
    for (size_t s = 0; s < sweep.size(); ++s) {
        json.begin_object();
        setting_json(json, sweep[s]);
        total_json(json, totals.settings[s]);
        json.key("best").value(static_cast<int>(s) == totals.best);
        json.end_object();
    }
    json.end_array().key("zlib_total").begin_object();
    total_json(json, totals.zlib);
    json.end_object().end_object();
    return json.text();
}

int run_study(const Options& options) {
    const std::vector<StudySetting> sweep = sweep_of(options.study);
    ProgressLine progress(!options.quiet);
    const std::vector<FileStudy> studies =
        study_files(options.inputs, sweep, static_cast<unsigned>(options.study.jobs.value_or(0)),
                    [&](size_t done, size_t total) {
                        if (progress.due()) {
                            progress.draw("study: " + std::to_string(done) + " of " +
                                          std::to_string(total) + " files");
                        }
                    });
    progress.clear();
    // Failures are reported in the order of the inputs, as by every command.
    size_t index = 0;
    int status = for_each_input(options, [&](const std::string&) {
        const FileStudy& f = studies[index++];
        if (f.error) std::rethrow_exception(f.error);
    });
    const Totals totals = totals_of(studies, sweep.size());
    if (options.json) {
        print_out(json_text(studies, sweep, totals));
    } else if (options.study.csv) {
        print_out(csv_text(studies, sweep));
    } else {
        print_out(table_text(studies, sweep, totals));
    }
    for (const FileStudy& f : studies) {
        if (!f.studied()) continue;
        for (const StudyMeasurement& m : f.measurements) {
            // A rod stream packing kept that does not restore is a fault of the program.
            if (m.outcome == StudyOutcome::NotRestored)
                status = std::max<int>(status, kExitBadData);
        }
    }
    return status;
}

}  // namespace

const Subcommand kStudyCommand{"study", "[options] FILE...",
                               "pack under a sweep of settings in memory, and measure",
                               kJsonOption | kStudyOptions, run_study};

}  // namespace quorvane::cli
