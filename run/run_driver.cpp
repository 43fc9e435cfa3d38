// run_driver.cpp -- Load File and ProcessRun.
#include "run/run_driver.h"

#include <sys/stat.h>

#include <array>
#include <cstdio>

#include "engine/bit_codecs.h"
#include "engine/centrifuge_cycle.h"
#include "engine/checked_math.h"
#include "engine/errors.h"
#include "engine/restoration.h"
#include "rodfile/rod_header.h"
#include "rodfile/rod_output.h"

namespace quorvane {
namespace {

constexpr size_t kReadBlock = 1024;

void ShowReadCounts(Engine& e) {
    const EngineState& st = e.st;
    e.ui.set_label(Label::InputLabel, "Bits Input   : " + dec(st.BitsIn));
    e.ui.set_label(Label::OutputLabel, "Bits Output  : " + dec(st.BitsIn));
    e.ui.set_label(Label::StreamLabel, "Vexion Data  : " + dec(st.SourceByteCount) + " bytes");
}

// Reads the whole input file into StreamBits, a block at a time.
void ReadInput(Engine& e) {
    EngineState& st = e.st;
    // Both a second Start without Load File and a refused load leave no file open.
    if (!st.InputFile) throw EInOutError("I/O error 103: file not open");
    std::array<uint8_t, kReadBlock> block{};
    for (;;) {
        const size_t got = std::fread(block.data(), 1, block.size(), st.InputFile.get());
        if (got == 0) {
            if (std::ferror(st.InputFile.get())) {
                st.InputFile.reset();
                throw EInOutError("Cannot read file " + st.InputPath);
            }
            break;
        }
        st.BlockByteCount = static_cast<int32_t>(got);
        st.SourceByteCount = checked_add(st.SourceByteCount, st.BlockByteCount);
        if (st.SourceByteCount > kMaxRodFileSize) {
            st.InputFile.reset();
            throw ECorruptData("File larger than 16 MiB: " + st.InputPath);
        }
        st.BitsIn = checked_mul(st.SourceByteCount, 8);
        e.ui.set_gauge_progress(Gauge::ProcessGauge, st.SourceByteCount);
        for (size_t i = 0; i < got; ++i)
            ByteToBits(block[i], st.StreamBits);
        // The labels show the block's totals; they were rewritten for every byte of it.
        ShowReadCounts(e);
    }
    st.InputFile.reset();
    e.ui.pump();
}

void ResetForRun(EngineState& st) {
    st.OutputReady = false;
    st.DecisionOverflow = false;
    st.NotSuccessful = false;
    st.OutputWritten = false;
    st.RestoreFailed = false;
    st.BlockByteCount = 0;
    st.SourceByteCount = 0;
    st.BitsIn = 0;
    st.OutputByteCount = 0;
    st.CycleCount = 1;
    st.PassDepth = 1;
    st.CycleDone = false;
    st.TrailingPending = false;
    st.DataBits.clear();
    st.DecisionArray.clear();
    st.DecisionBits.clear();
    st.HeaderDataBits.clear();
    st.DecisionStreamBits.clear();
    st.BestStreamBits.clear();
    st.BestDecisionStreamBits.clear();
    st.BestHeaderDataBits.clear();
    st.BestDepthText.clear();
}

void CheckLoopCount(Engine& e) {
    if (e.settings.integer(Setting::LoopCount) == e.st.CycleCount) {
        e.settings.set(Setting::AutoStop, "S");
    }
}

void PackCycles(Engine& e) {
    EngineState& st = e.st;
    st.CurrentSize = st.SourceByteCount;
    e.ui.set_gauge(Gauge::CentriGauge2, st.BitsIn, st.BitsIn);
    if (e.settings.single_cycle()) {
        st.DataBits = st.StreamBits;
        CentrifugeCycle(e);
        e.ui.pump();
    } else {
        e.settings.set(Setting::AutoStop, "");
        while (!st.OutputReady) {
            try {
                st.CurrentSize = checked_i32(st.StreamBits.size() / 8);
                const auto length = static_cast<int64_t>(st.StreamBits.size());
                e.ui.set_gauge(Gauge::CentriGauge2, length, length);
                st.DataBits = st.StreamBits;
                CentrifugeCycle(e);
                if (!st.NotSuccessful) st.CycleCount = checked_add(st.CycleCount, 1);
                e.ui.set_gauge_progress(Gauge::LoopProgressBar, st.CycleCount);
            } catch (const ERunCancelled&) {
                throw;
            } catch (...) {
                // The loop count is checked after every cycle, also one that ended in an error.
                CheckLoopCount(e);
                throw;
            }
            CheckLoopCount(e);
        }
    }
    e.ui.set_gauge_progress(Gauge::LoopProgressBar, st.CycleCount);
    e.ui.pump();
    if (!st.NotSuccessful) {
        // The cycle that finished wrote the file once; the mode text shows how that went.
        e.ui.pump();
        st.OutputReady = false;
        if (st.StreamBits.size() <= kMaxChipStreamBits) {
            e.ui.draw_chip_code(st.StreamBits, st.HeaderDataBits);
        }
    }
}

bool CloseRun(Engine& e) {
    EngineState& st = e.st;
    bool result = true;
    if (st.NotSuccessful) {
        e.ui.set_label(Label::ModeLabel, "Vexion Mode  : Not Succesfull");
        e.ui.set_label(Label::OutputLabel, "Bits Output  : " + dec(st.BitsIn));
        e.ui.set_label(Label::StreamLabel, "Vexion Data  : " + dec(st.SourceByteCount));
        SetDepthLabel(e, "Vexion Depth : 0");
        e.ui.set_label(Label::DecisionsLabel, "Error");
        e.ui.set_label(Label::Label_9, "Error");
        st.NotSuccessful = false;
        result = false;
    }
    e.ui.set_gauge_progress(Gauge::LoopProgressBar, 0);
    e.ui.set_gauge_progress(Gauge::CentriGauge1, 0);
    e.ui.set_gauge_progress(Gauge::CentriGauge2, 0);
    return result;
}

}  // namespace

bool IsRodName(std::string_view path) {
    const size_t dot = path.rfind('.');
    return dot != std::string_view::npos && path.substr(dot) == ".rod";
}

LoadResult LoadFile(Engine& e, const std::string& path) {
    e.st.InputPath = path;
    e.st.InputFile.reset();
    FileHandle file(std::fopen(path.c_str(), "rb"));
    struct stat info {};
    if (!file || ::fstat(::fileno(file.get()), &info) != 0 || S_ISDIR(info.st_mode)) {
        throw EInOutError("Cannot open file " + path);
    }
    return LoadOpenedFile(e, path, std::move(file), info.st_size);
}

LoadResult LoadOpenedFile(Engine& e, const std::string& path, FileHandle file, int64_t size) {
    EngineState& st = e.st;
    st.InputPath = path;
    st.InputFile.reset();
    const bool rod = IsRodName(path);
    if (rod && size > kMaxRodFileSize) {
        throw ECorruptData("Rod file larger than 16 MiB: " + path);
    }
    st.CurrentSize = static_cast<int32_t>(std::min<int64_t>(size, INT32_MAX));
    st.OriginalSize = st.CurrentSize;
    if (!rod) {
        if (size > kMaxInputSize || size < kMinInputSize) {
            e.ui.show_message(kSizeLimitMessage);
            return LoadResult::Refused;
        }
        st.Unpacking = false;
    } else {
        st.Unpacking = true;
    }
    st.InputFile = std::move(file);
    st.DecisionOverflow = false;
    FrontEnd& ui = e.ui;
    ui.set_gauge(Gauge::ProcessGauge, st.CurrentSize, st.CurrentSize);
    ui.set_gauge(Gauge::CentriGauge1, 100, 100);
    ui.set_gauge(Gauge::CentriGauge2, int64_t{st.CurrentSize} * 8, int64_t{st.CurrentSize} * 8);
    ui.set_label(Label::InputLabel, "Bits Input   : 0");
    ui.set_label(Label::OutputLabel, "Bits Output  : 0");
    ui.set_label(Label::ModeLabel, rod ? "Vexion Mode  : UnPacking" : "Vexion Mode  : Packing");
    ui.set_label(Label::StreamLabel, "Vexion Data  : 0");
    SetDepthLabel(e, "Vexion Depth : 0");
    ui.pump();
    return LoadResult::Accepted;
}

bool ProcessRun(Engine& e, bool unpacking) {
    EngineState& st = e.st;
    st.RunUnpacking = unpacking;
    const int32_t rod_size = e.settings.integer(Setting::RodSize);
    if (rod_size < 2 || rod_size > 128) {
        throw EngineError("Rod size must be 2 to 128, not " + dec(rod_size));
    }
    st.RodSize = static_cast<uint8_t>(rod_size);
    e.ui.pump();
    ResetForRun(st);
    e.ui.set_gauge_max(Gauge::ProcessGauge, st.CurrentSize);
    st.BestSize = st.CurrentSize;
    e.ui.set_gauge_max(Gauge::LoopProgressBar, 127);
    st.StreamBits.clear();
    e.ui.pump();
    try {
        const bool lz77 = e.settings.lz77_on();
        if (!unpacking) {
            st.HighRods = 0;
            st.LowRods = 0;
            e.ui.set_label(Label::ModeLabel,
                           lz77 ? "Vexion Mode  : Packing [Lz77]" : "Vexion Mode  : Packing");
        } else {
            e.ui.set_label(Label::ModeLabel,
                           lz77 ? "Vexion Mode  : UnPacking [Lz77]" : "Vexion Mode  : UnPacking");
        }
        ReadInput(e);
        if (unpacking) {
            if (RestoreStream(e)) {
                WriteZivIduvBitsBufferToFile(e);
            } else {
                st.RestoreFailed = true;
            }
            e.ui.pump();
        } else {
            PackCycles(e);
        }
    } catch (...) {
        st.InputFile.reset();
        CloseRun(e);
        throw;
    }
    const bool result = CloseRun(e);
    e.ui.pump();
    return result;
}

}  // namespace quorvane
