// info_command.cpp -- info FILE.rod: the seven header fields, the sizes of the parts, the likely
// LZ77 setting; as text or as one JSON document.
#include "cli/info_command.h"

#include <array>
#include <string>
#include <utility>
#include <variant>

#include "rodfile/rod_info.h"
#include "status/json_writer.h"
#include "zstream/file_stream.h"

namespace quorvane::cli {
namespace {

// The header fields with their names, in stream order.
std::array<std::pair<std::string_view, int64_t>, 7> header_fields(const RodHeader& h) {
    return {{{"CycleCount", h.CycleCount},
             {"PassDepth", h.PassDepth},
             {"TrailingBitCount", h.TrailingBitCount},
             {"LowRods", h.LowRods},
             {"RodBalance", h.RodBalance},
             {"DataBitCount", h.DataBitCount},
             {"SourceByteCount", h.SourceByteCount}}};
}

std::string field_text(const RodInfoField& field) {
    if (const auto* n = std::get_if<int64_t>(&field.value)) return std::to_string(*n);
    if (const auto* b = std::get_if<bool>(&field.value)) return *b ? "yes" : "no";
    return std::get<std::string>(field.value);
}

std::string bytes_text(int64_t n) {
    return std::to_string(n) + (n == 1 ? " byte" : " bytes");
}

std::string padded(std::string_view name, size_t width) {
    std::string text(name);
    text.append(width > name.size() ? width - name.size() : 0, ' ');
    return text;
}

std::string info_text(const std::string& input, const RodFileInfo& info) {
    constexpr size_t kWidth = 17;
    std::string text(input);
    text.append(": ").append(bytes_text(info.file_bytes)).append("\n");
    const auto line = [&](std::string_view name, const std::string& value) {
        text.append("  ").append(padded(name, kWidth)).append(": ").append(value).append("\n");
    };
    for (const auto& [name, value] : header_fields(info.header))
        line(name, std::to_string(value));
    line("HighRods", std::to_string(info.HighRods));
    line("header+data+pad", bytes_text(info.header_data_bytes));
    line("decision part", bytes_text(info.decision_bytes) + ", " +
                              (info.decisions_start_like_zlib
                                   ? "starts like a zlib stream (LZ77 likely on)"
                                   : "does not start like a zlib stream (LZ77 likely off)"));
    for (const RodInfoSection& section : info.sections) {
        text.append("  ").append(section.name).append(":\n");
        for (const RodInfoField& field : section.fields) {
            text.append("    ").append(padded(field.name, kWidth - 2)).append(": ");
            text.append(field_text(field)).append("\n");
        }
    }
    return text;
}

void info_json(JsonWriter& json, const std::string& input, const RodFileInfo& info) {
    json.begin_object().key("file").value(input);
    json.key("file_bytes").value(info.file_bytes);
    json.key("header").begin_object();
    for (const auto& [name, value] : header_fields(info.header))
        json.key(name).value(value);
    json.end_object();
    json.key("HighRods").value(info.HighRods);
    json.key("header_data_pad_bytes").value(info.header_data_bytes);
    json.key("decision_bytes").value(info.decision_bytes);
    json.key("decisions_start_like_zlib").value(info.decisions_start_like_zlib);
    json.key("sections").begin_object();
    for (const RodInfoSection& section : info.sections) {
        json.key(section.name).begin_object();
        for (const RodInfoField& field : section.fields) {
            json.key(field.name);
            std::visit([&](const auto& v) { json.value(v); }, field.value);
        }
        json.end_object();
    }
    json.end_object().end_object();
}

ExitStatus run_info(const Options& options) {
    JsonWriter json;
    json.begin_object().key("files").begin_array();
    const ExitStatus status = for_each_input(
        options,
        [&](const std::string& input) {
            const FileStart file = read_file_start(source_of(input), kMaxRodFileBytes + 1);
            const RodFileInfo info = describe_rod_file(file.bytes);
            if (options.json) {
                info_json(json, input, info);
            } else if (!options.quiet) {
                print_out(info_text(input, info));
            }
        },
        [&](const std::string& input, const std::string& message) {
            json.begin_object().key("file").value(input).key("error").value(message).end_object();
        });
    json.end_array().end_object();
    if (options.json) print_out(json.text());
    return status;
}

}  // namespace

const Subcommand kInfoCommand{"info",
                              "[--json] FILE.rod...",
                              "show a rod file's header without restoring it",
                              kJsonOption,
                              run_info,
                              "rod"};

}  // namespace quorvane::cli
