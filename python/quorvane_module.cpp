// quorvane_module.cpp -- quorvane._core: the C library's calls for Python, on bytes.
//
// Only quorvane.h is used, so the module sees the engine exactly as any other program does. The
// GIL is released while the engine works; the progress callback takes it back to call Python and
// to look for a pending signal, so Ctrl-C stops a long call.
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <quorvane.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

namespace py = pybind11;

namespace {

// The exception classes live in quorvane._errors, so that Python code can name them.
[[noreturn]] void raise_code(int code, py::handle cause = py::handle()) {
    const char* name = "Error";
    switch (code) {
        case QUORVANE_ERROR_SETTING:
        case QUORVANE_ERROR_SIZE_LIMIT:
            name = "SettingsError";
            break;
        case QUORVANE_ERROR_CHECKSUM:
        case QUORVANE_ERROR_CORRUPT:
        case QUORVANE_ERROR_ZLIB:
            name = "DamagedDataError";
            break;
        case QUORVANE_ERROR_RESTORE_FAILED:
        case QUORVANE_ERROR_AMBIGUOUS:
            name = "RestorationError";
            break;
        case QUORVANE_ERROR_CANCELLED:
            name = "CancelledError";
            break;
        case QUORVANE_ERROR_MEMORY:
            throw std::bad_alloc();
        default:
            break;
    }
    py::object type = py::module_::import("quorvane._errors").attr(name);
    const char* text = quorvane_last_error();
    py::object error = type(py::str(text && *text ? text : quorvane_error_text(code)), code);
    if (cause) error.attr("__cause__") = cause;
    PyErr_SetObject(type.ptr(), error.ptr());
    throw py::error_already_set();
}

// A buffer the library allocated, freed when it goes out of scope.
struct Owned {
    void* data = nullptr;
    size_t size = 0;
    ~Owned() { quorvane_free(data); }
    py::bytes bytes() const { return py::bytes(static_cast<const char*>(data), size); }
};

quorvane_settings settings_of(const py::dict& d) {
    quorvane_settings s;
    quorvane_default_settings(&s);
    auto get = [&](const char* key, auto& field) {
        if (d.contains(key)) field = d[key].cast<std::remove_reference_t<decltype(field)>>();
    };
    get("rod_size", s.rod_size);
    get("depth", s.depth);
    get("level", s.level);
    get("loops", s.loop_count);
    get("lz77", s.lz77);
    get("single", s.single);
    get("check", s.integrity_check);
    get("experimental", s.experimental);
    return s;
}

const char* kind_name(int kind) {
    switch (kind) {
        case QUORVANE_PROGRESS_PASS:
            return "pass";
        case QUORVANE_PROGRESS_CYCLE:
            return "cycle";
        case QUORVANE_PROGRESS_ROUND:
            return "round";
        default:
            return "reverse_pass";
    }
}

// Carries the Python callback into the engine's thread of work, and what stopped it out again.
struct Progress {
    py::object fn;
    py::object error;  // the exception that stopped the call

    static int call(const quorvane_progress* r, void* user) {
        auto* self = static_cast<Progress*>(user);
        py::gil_scoped_acquire gil;
        try {
            if (PyErr_CheckSignals() != 0) throw py::error_already_set();
            if (!self->fn.is_none()) {
                py::dict record;
                record["kind"] = kind_name(r->kind);
                record["cycle"] = r->cycle;
                record["pass"] = r->pass;
                record["bits_in"] = r->bits_in;
                record["bits_out"] = r->bits_out;
                record["low_rods"] = r->low_rods;
                record["high_rods"] = r->high_rods;
                if (r->kind == QUORVANE_PROGRESS_PASS) {
                    static const char* const fates[] = {"kept", "undone", "fallback"};
                    record["fate"] = fates[r->fate % 3];
                    record["last"] = r->last != 0;
                    record["decision_bits"] = r->decision_bits;
                    record["depth_threshold"] = r->depth_threshold;
                    record["level_bits"] = r->level_bits;
                } else if (r->kind == QUORVANE_PROGRESS_CYCLE) {
                    static const char* const fates[] = {"kept", "finalised", "rolled back",
                                                        "not successful"};
                    record["fate"] = fates[r->fate % 4];
                    record["best_bits"] = r->best_bits;
                }
                self->fn(record);
            }
            return 0;
        } catch (py::error_already_set& e) {
            self->error = e.value();
            return 1;
        }
    }

    // After a call: a stop asked for by Python is raised as what asked for it (KeyboardInterrupt
    // stays KeyboardInterrupt), any other code as the library's error.
    void raise_for(int code) {
        if (code == QUORVANE_ERROR_CANCELLED && error) {
            if (!py::isinstance<py::error_already_set>(error) &&
                PyErr_GivenExceptionMatches(error.ptr(), PyExc_Exception) == 0) {
                PyErr_SetObject(reinterpret_cast<PyObject*>(Py_TYPE(error.ptr())), error.ptr());
                throw py::error_already_set();
            }
            raise_code(code, error);
        }
        raise_code(code);
    }
};

template <typename Call>
py::bytes run_with_progress(const py::object& progress, Call call) {
    Progress p{progress, py::object()};
    Owned out;
    int code;
    {
        py::gil_scoped_release release;
        code = call(&Progress::call, &p, &out);
    }
    if (code != QUORVANE_OK) p.raise_for(code);
    return out.bytes();
}

py::bytes pack(const py::bytes& data, const py::dict& settings, const py::object& progress) {
    const std::string in = data;
    const quorvane_settings s = settings_of(settings);
    return run_with_progress(progress, [&](quorvane_progress_fn fn, void* user, Owned* out) {
        return quorvane_pack(in.data(), in.size(), &s, fn, user, &out->data, &out->size);
    });
}

py::bytes unpack(const py::bytes& rod, const py::dict& settings, bool detect,
                 const py::object& progress) {
    const std::string in = rod;
    quorvane_settings s = settings_of(settings);
    s.detect = detect;
    return run_with_progress(progress, [&](quorvane_progress_fn fn, void* user, Owned* out) {
        return quorvane_unpack(in.data(), in.size(), &s, fn, user, &out->data, &out->size);
    });
}

std::string hex32(uint32_t value) {
    char text[9];
    std::snprintf(text, sizeof text, "%08x", value);
    return text;
}

// The fields of `quorvane-cli info --json` but the file's name.
py::dict info(const py::bytes& rod) {
    const std::string in = rod;
    quorvane_rod_info i{};
    const int code = quorvane_info(in.data(), in.size(), &i);
    if (code != QUORVANE_OK) raise_code(code);
    py::dict header;
    header["CycleCount"] = i.cycle_count;
    header["PassDepth"] = i.pass_depth;
    header["TrailingBitCount"] = i.trailing_bit_count;
    header["LowRods"] = i.low_rods;
    header["RodBalance"] = i.rod_balance;
    header["DataBitCount"] = i.data_bit_count;
    header["SourceByteCount"] = i.source_byte_count;
    py::dict d;
    d["file_bytes"] = i.file_bytes;
    d["header"] = header;
    d["HighRods"] = i.high_rods;
    d["header_data_pad_bytes"] = i.header_data_pad_bytes;
    d["decision_bytes"] = i.decision_bytes;
    d["decisions_start_like_zlib"] = i.decisions_start_like_zlib != 0;
    py::dict sections;
    if (i.trailer_state != 0) {
        py::dict trailer;
        trailer["state"] = i.trailer_state == 1 ? "valid" : "damaged";
        trailer["version"] = i.trailer_version;
        trailer["content_bytes"] = i.content_bytes;
        trailer["content_crc32"] = hex32(i.content_crc32);
        trailer["stream_crc32"] = hex32(i.stream_crc32);
        sections["integrity trailer"] = trailer;
    }
    d["sections"] = sections;
    return d;
}

// The fields of `quorvane-cli detect --json` but the file's name: every setting tried.
py::dict detect(const py::bytes& rod) {
    const std::string in = rod;
    quorvane_detection summary{};
    quorvane_detected* list = nullptr;
    size_t count = 0;
    int code;
    {
        py::gil_scoped_release release;
        code = quorvane_detect_all(in.data(), in.size(), 0, &summary, &list, &count);
    }
    if (code != QUORVANE_OK) raise_code(code);
    const Owned owned{list, count};
    py::dict d;
    d["lz77_first"] = summary.lz77_first != 0;
    d["settings_total"] = summary.total;
    d["settings_tried"] = summary.tried;
    py::list results;
    for (size_t i = 0; i < count; ++i) {
        const quorvane_detected& found = list[i];
        py::dict r;
        r["bytes"] = found.bytes;
        r["crc32"] = hex32(found.crc32);
        r["cycles"] = found.cycles;
        r["passes"] = found.passes;
        r["confirmed"] = found.confirmed != 0;
        py::list settings;
        for (int s = 0; s < found.setting_count; ++s) {
            py::dict setting;
            setting["rod_size"] = found.settings[s].rod_size;
            setting["lz77"] = found.settings[s].lz77 != 0;
            settings.append(setting);
        }
        r["settings"] = settings;
        results.append(r);
    }
    d["results"] = results;
    return d;
}

py::bytes zlib_call(const py::bytes& data, int (*call)(const void*, size_t, void**, size_t*)) {
    const std::string in = data;
    Owned out;
    int code;
    {
        py::gil_scoped_release release;
        code = call(in.data(), in.size(), &out.data, &out.size);
    }
    if (code != QUORVANE_OK) raise_code(code);
    return out.bytes();
}

// One file under every setting of a sweep: its record of `quorvane-cli study --json`, as JSON.
std::string study(const std::string& name, const py::bytes& data, const py::list& sweep,
                  const py::tuple& baselines, bool trace) {
    const std::string in = data;
    std::vector<quorvane_study_setting> settings;
    for (const py::handle item : sweep) {
        const py::dict d = py::reinterpret_borrow<py::dict>(item);
        quorvane_study_setting s;
        quorvane_default_study_setting(&s);
        s.rod_size = d["rod_size"].cast<int>();
        s.depth = d["depth"].cast<int>();
        s.lz77 = d["lz77"].cast<bool>();
        s.single = d["single"].cast<bool>();
        s.loops = d["loops"].cast<int32_t>();
        settings.push_back(s);
    }
    static const std::map<std::string, unsigned> kBits = {{"zlib", QUORVANE_BASELINE_ZLIB},
                                                          {"zstd", QUORVANE_BASELINE_ZSTD},
                                                          {"xz", QUORVANE_BASELINE_XZ},
                                                          {"entropy", QUORVANE_BASELINE_ENTROPY}};
    unsigned bits = 0;
    for (const py::handle b : baselines) {
        const auto found = kBits.find(b.cast<std::string>());
        if (found == kBits.end()) {
            throw py::value_error("unknown baseline '" + b.cast<std::string>() +
                                  "' (zlib, zstd, xz, entropy)");
        }
        bits |= found->second;
    }
    char* json = nullptr;
    size_t size = 0;
    int code;
    {
        py::gil_scoped_release release;
        code = quorvane_study_json(in.data(), in.size(), name.c_str(), settings.data(),
                                   settings.size(), bits, trace, &json, &size);
    }
    if (code != QUORVANE_OK) raise_code(code);
    const Owned owned{json, size};
    return std::string(json, size);
}

}  // namespace

PYBIND11_MODULE(_core, m) {
    m.doc() = "The calls of libquorvane on bytes; use the quorvane package, not this module.";
    m.def("version", &quorvane_version);
    m.def("pack", &pack);
    m.def("unpack", &unpack);
    m.def("info", &info);
    m.def("detect", &detect);
    m.def("compress", [](const py::bytes& d) { return zlib_call(d, quorvane_zlib_compress); });
    m.def("decompress", [](const py::bytes& d) { return zlib_call(d, quorvane_zlib_decompress); });
    m.def("study", &study);
}
