// study_command.cpp -- study FILE...: one aligned table (or CSV, or JSON) of every file under
// every setting of the sweep, beside the sizes of the baselines asked for, with totals per
// setting and baseline and the verdicts of the best setting against the best baseline.
#include "cli/study_command.h"

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "cli/progress_line.h"
#include "run/study.h"
#include "status/json_writer.h"
#include "status/study_report.h"

namespace quorvane::cli {
namespace {

std::vector<StudySetting> sweep_of(const StudyOptions& o) {
    return study_sweep(o.rod_sizes, o.depths, o.lz77, o.loops, o.single);
}

std::string fixed(double value, int digits) {
    char text[64];
    std::snprintf(text, sizeof text, "%.*f", digits, value);
    return text;
}

// The baselines asked for that the files have, in their order.
std::vector<Baseline> shown_baselines(const StudySummary& summary) {
    std::vector<Baseline> shown;
    for (const Baseline b : kBaselines) {
        if (summary.baseline(b)) shown.push_back(b);
    }
    return shown;
}

// "verdict (-r 2 -d 1): rod files are 59 % larger than xz -9e"
std::string verdict_line(const StudyVerdict& verdict, const std::string& setting) {
    return "verdict (" + setting + "): " + verdict.text();
}

// "in 3 blocks of up to 32767 bytes, packed one by one; the last (40 bytes) stored as it is"
std::string blocks_line(const FileStudy& f) {
    std::string text = "in " + std::to_string(f.blocks.size()) + " blocks of up to " +
                       std::to_string(f.blocks.front().input_bytes) + " bytes, packed one by one";
    if (f.blocks.back().stored()) {
        text.append("; the last (").append(std::to_string(f.blocks.back().input_bytes));
        text.append(" bytes) stored as it is");
    }
    return text;
}

std::string best_setting_text(int best, const std::vector<StudySetting>& sweep) {
    return best >= 0 ? setting_text(sweep[static_cast<size_t>(best)]) : "no setting packed";
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
                       const std::vector<StudySetting>& sweep, const StudySummary& summary) {
    const std::vector<Baseline> baselines = shown_baselines(summary);
    Table table({false, true, false, true, true, true, true, true, true, false});
    table.add({"file", "bytes", "settings", "out bytes", "ratio", "cycles", "passes", "pack ms",
               "restore ms", ""});
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
                                       fixed(study_ratio(m.rod_bytes, f.input_bytes), 3) +
                                           (static_cast<int>(s) == f.best ? "*" : " "),
                                       std::to_string(m.cycles), std::to_string(m.passes),
                                       fixed(m.pack_ms, 1), fixed(m.restore_ms, 1)});
            }
            row.push_back(m.outcome == StudyOutcome::Packed ? "" : outcome_name(m.outcome));
            table.add(std::move(row));
        }
        for (const Baseline b : baselines) {
            const int64_t bytes = *f.baseline(b);
            table.add({"", "", std::string(baseline_label(b)), std::to_string(bytes),
                       fixed(study_ratio(bytes, f.input_bytes), 3) + " ", "", "", "", "", ""});
        }
        if (f.in_blocks()) table.add({"", "", blocks_line(f)});
        if (const std::optional<StudyVerdict> verdict = file_verdict(f))
            table.add({"", "", verdict_line(*verdict, best_setting_text(f.best, sweep))});
    }
    std::string text = table.text();
    if (summary.files == 0) return text;

    Table sums({false, true, true, true, true, false});
    sums.add(
        {"total over " + std::to_string(summary.files) + (summary.files == 1 ? " file" : " files"),
         "bytes", "out bytes", "total ratio", "geometric mean", ""});
    const auto add_total = [&](const std::string& name, const StudyTotal& t, bool best) {
        sums.add({name, std::to_string(t.input_bytes), std::to_string(t.output_bytes),
                  fixed(t.total_ratio(), 3), fixed(t.geometric_mean(), 3), best ? "*" : ""});
    };
    for (size_t s = 0; s < sweep.size(); ++s)
        add_total(setting_text(sweep[s]), summary.settings[s], static_cast<int>(s) == summary.best);
    for (const Baseline b : baselines)
        add_total(std::string(baseline_label(b)), *summary.baseline(b), false);
    if (summary.verdict)
        sums.add({"verdict over " + std::to_string(summary.files) +
                  (summary.files == 1 ? " file" : " files") + " (" +
                  best_setting_text(summary.best, sweep) + "): " + summary.verdict->text()});
    text.append("\n").append(sums.text());
    text.append(
        "* best per file and over all files; a run not successful counts at the file's size\n");
    if (summary.baseline(Baseline::Entropy))
        text.append("order-0 entropy: a reference, not a bound\n");
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
        "pack_ms,restore_ms";
    for (const Baseline b : kBaselines) {
        const std::string name(baseline_name(b));
        text.append(",").append(name).append("_bytes,").append(name).append("_ratio");
    }
    text.append(",best,blocks,note\n");
    const auto fields = std::count(text.begin(), text.end(), ',');
    for (const FileStudy& f : studies) {
        if (f.error) continue;
        const std::string file = csv_field(f.path) + "," + std::to_string(f.input_bytes) + ",";
        if (f.skipped) {
            // Empty up to the outcome, and after it up to the note.
            text.append(file).append(",,,,,skipped");
            text.append(static_cast<size_t>(fields) - 7, ',');
            text.append(csv_field(*f.skipped)).append("\n");
            continue;
        }
        const std::string blocks = std::to_string(f.in_blocks() ? f.blocks.size() : 1);
        // Empty where the baseline was not asked for.
        std::string baselines;
        for (const Baseline b : kBaselines) {
            if (const std::optional<int64_t> bytes = f.baseline(b)) {
                baselines.append(",").append(std::to_string(*bytes));
                baselines.append(",").append(fixed(study_ratio(*bytes, f.input_bytes), 4));
            } else {
                baselines.append(",,");
            }
        }
        for (size_t s = 0; s < sweep.size(); ++s) {
            const StudySetting& st = sweep[s];
            const StudyMeasurement& m = f.measurements[s];
            text.append(file);
            text.append(std::to_string(st.rod_size)).append(",").append(std::to_string(st.depth));
            text.append(st.lz77 ? ",on," : ",off,").append(st.single ? "yes," : "no,");
            text.append(std::to_string(st.loops)).append(",").append(outcome_name(m.outcome));
            if (m.outcome == StudyOutcome::NotSuccessful) {
                text.append(",,,,,").append(fixed(m.pack_ms, 3)).append(",");
            } else {
                text.append(",").append(std::to_string(m.rod_bytes));
                text.append(",").append(fixed(study_ratio(m.rod_bytes, f.input_bytes), 4));
                text.append(",").append(std::to_string(m.cycles));
                text.append(",").append(std::to_string(m.passes));
                text.append(",").append(fixed(m.pack_ms, 3));
                text.append(",").append(fixed(m.restore_ms, 3));
            }
            text.append(baselines).append(static_cast<int>(s) == f.best ? ",yes," : ",no,");
            text.append(blocks).append(",\n");
        }
    }
    return text;
}

// --csv --trace: one line per pass of every run, with its cycle's outcome beside it.
std::string trace_csv_text(const std::vector<FileStudy>& studies,
                           const std::vector<StudySetting>& sweep) {
    std::string text =
        "file,block,rod_size,depth,lz77,single,loops,cycle,pass,bits_in,bits_out,decision_bits,"
        "low_rods,high_rods,depth_threshold,level_bits,fate,last,cycle_stream_bits,"
        "cycle_best_bits,cycle_fate\n";
    const auto add = [&](const FileStudy& f, size_t block, const StudySetting& st,
                         const StudyTrace& trace) {
        for (const PassRecord& p : trace.passes) {
            text.append(csv_field(f.path)).append(",").append(std::to_string(block));
            text.append(",").append(std::to_string(st.rod_size));
            text.append(",").append(std::to_string(st.depth));
            text.append(st.lz77 ? ",on," : ",off,").append(st.single ? "yes," : "no,");
            text.append(std::to_string(st.loops));
            for (const int64_t n :
                 {int64_t{p.cycle}, int64_t{p.pass}, p.bits_in, p.bits_out, p.decision_bits,
                  int64_t{p.low_rods}, int64_t{p.high_rods}, p.depth_threshold, p.level_bits})
                text.append(",").append(std::to_string(n));
            text.append(",").append(pass_fate_name(p.fate)).append(p.last ? ",yes" : ",no");
            const auto cycle = std::ranges::find(trace.cycles, p.cycle, &CycleRecord::cycle);
            if (cycle != trace.cycles.end()) {
                text.append(",").append(std::to_string(cycle->stream_bits));
                text.append(",").append(std::to_string(cycle->best_bits));
                text.append(",").append(cycle_fate_name(cycle->fate));
            } else {
                text.append(",,,");
            }
            text.append("\n");
        }
    };
    for (const FileStudy& f : studies) {
        if (!f.studied()) continue;
        for (size_t s = 0; s < sweep.size(); ++s) {
            if (!f.in_blocks()) {
                add(f, 0, sweep[s], f.measurements[s].trace);
                continue;
            }
            for (size_t b = 0; b < f.blocks.size(); ++b) {
                if (!f.blocks[b].stored()) add(f, b, sweep[s], f.blocks[b].measurements[s].trace);
            }
        }
    }
    return text;
}

std::string json_text(const std::vector<FileStudy>& studies, const std::vector<StudySetting>& sweep,
                      const StudySummary& summary, bool trace) {
    JsonWriter json;
    json.begin_object().key("files").begin_array();
    for (const FileStudy& f : studies)
        file_study_json(json, f, sweep, trace);
    json.end_array().key("totals").begin_array();
    for (size_t s = 0; s < sweep.size(); ++s) {
        json.begin_object();
        setting_json(json, sweep[s]);
        total_json(json, summary.settings[s]);
        json.key("best").value(static_cast<int>(s) == summary.best);
        json.end_object();
    }
    json.end_array();
    // Each baseline's totals as NAME_total: {"zlib_total": {...}, "xz_total": {...}}.
    for (const Baseline b : kBaselines) {
        const std::optional<StudyTotal> total = summary.baseline(b);
        if (!total) continue;
        json.key(std::string(baseline_name(b)) + "_total").begin_object();
        total_json(json, *total);
        json.end_object();
    }
    verdict_json(json, summary.verdict, summary.best, sweep);
    json.end_object();
    return json.text();
}

ExitStatus run_study(const Options& options) {
    const std::vector<StudySetting> sweep = sweep_of(options.study);
    ProgressLine progress(!options.quiet);
    std::vector<std::string> sources;
    for (const std::string& input : options.inputs)
        sources.push_back(source_of(input).string());
    std::vector<FileStudy> studies = study_files(
        sources, StudyPlan{sweep, options.study.baselines, options.study.trace},
        static_cast<unsigned>(options.study.jobs.value_or(0)), [&](size_t done, size_t total) {
            if (progress.due()) {
                progress.draw("study: " + std::to_string(done) + " of " + std::to_string(total) +
                              " files");
            }
        });
    progress.clear();
    // The results name the inputs as given ("-", not the file standard input was read from).
    for (size_t i = 0; i < studies.size(); ++i)
        studies[i].path = options.inputs[i];
    // Failures are reported in the order of the inputs, as by every command.
    size_t index = 0;
    ExitStatus status = for_each_input(options, [&](const std::string&) {
        const FileStudy& f = studies[index++];
        if (f.error) std::rethrow_exception(f.error);
    });
    const StudySummary summary = summarize(studies, sweep.size());
    if (options.json) {
        print_out(json_text(studies, sweep, summary, options.study.trace));
    } else if (options.study.csv) {
        print_out(options.study.trace ? trace_csv_text(studies, sweep) : csv_text(studies, sweep));
    } else {
        print_out(table_text(studies, sweep, summary));
    }
    for (const FileStudy& f : studies) {
        if (!f.studied()) continue;
        for (const StudyMeasurement& m : f.measurements) {
            // A rod stream packing kept that does not restore is a fault of the program.
            if (m.outcome == StudyOutcome::NotRestored)
                status = std::max(status, ExitStatus::BadData);
        }
    }
    return status;
}

}  // namespace

const Subcommand kStudyCommand{"study", "[options] FILE...",
                               "pack under a sweep of settings in memory, and measure",
                               kJsonOption | kStudyOptions, run_study};

}  // namespace quorvane::cli
