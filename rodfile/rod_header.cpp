// rod_header.cpp -- building and parsing the rod stream's header.
#include "rodfile/rod_header.h"

#include "engine/bit_codecs.h"
#include "engine/checked_math.h"
#include "engine/decision_packing.h"

namespace quorvane {

std::string DepthText(int32_t cycle, int32_t pass, bool always_both) {
    std::string text = "Vexion Depth : ";
    if (cycle == 1 && !always_both) return text.append(dec(pass));
    return text.append(dec(cycle)).append(" | ").append(dec(pass));
}

void SetDepthLabel(Engine& e, std::string text) {
    e.ui.set_label(Label::LoopCountLabel, text);
    e.st.DepthText = std::move(text);
}

bool CreateFileHeader(Engine& e) {
    EngineState& st = e.st;
    st.TrailingBitCount = static_cast<int32_t>(st.DataBits.size() % 8);
    st.DataBitCount = checked_i32(st.DataBits.size());
    st.RodBalance = checked_sub(st.HighRods, st.LowRods);
    if (st.RodBalance < kMinRodBalance || st.RodBalance > kMaxRodBalance) return false;
    const std::array<int32_t, 7> fields = {st.CycleCount,
                                           st.PassDepth,
                                           st.TrailingBitCount,
                                           st.LowRods,
                                           EncodeRodBalance(st.RodBalance),
                                           st.DataBitCount,
                                           st.SourceByteCount};
    for (size_t i = 0; i < fields.size(); ++i) {
        // A field written shifted would corrupt the whole stream: no stream instead.
        if (fields[i] < 0 || !FitsWidth(fields[i], kHeaderFieldWidths[i])) return false;
    }
    BitString stream;
    stream.reserve(kHeaderBits + st.DataBits.size() + 8 + st.DecisionStreamBits.size());
    for (size_t i = 0; i < fields.size(); ++i) {
        stream.append_bits(static_cast<uint64_t>(fields[i]),
                           static_cast<unsigned>(kHeaderFieldWidths[i]));
    }
    stream.append(st.DataBits);
    e.ui.pump();
    stream.append_repeated(false, static_cast<size_t>(PadBits(st.DataBitCount)));
    e.ui.pump();
    st.HeaderDataBits = stream;
    stream.append(st.DecisionStreamBits);
    st.StreamBits = std::move(stream);
    e.ui.set_gauge_progress(Gauge::ProcessGauge, static_cast<int64_t>(st.StreamBits.size() / 8));
    e.ui.pump();
    return true;
}

void ReadInFileHeader(Engine& e) {
    ReadInFileHeader(e, e.settings.lz77_on());
}

void ReadInFileHeader(Engine& e, bool lz77) {
    EngineState& st = e.st;
    const BitString header = CopyBits(st.StreamBits, 1, kHeaderBits);
    const auto field = [&](size_t i) {
        return BitsToDecimal(CopyBits(header, HeaderFieldPosition(i), kHeaderFieldWidths[i]));
    };
    st.CycleCount = field(0);
    st.PassDepth = field(1);
    st.TrailingBitCount = field(2);
    st.LowRods = field(3);
    st.HighRods = checked_add(DecodeRodBalance(field(4)), st.LowRods);
    st.DataBitCount = field(5);
    st.OriginalSize = field(6);

    st.DataBits = CopyBits(st.StreamBits, kHeaderBits + 1, st.DataBitCount);
    const int64_t pad = PadBits(st.DataBitCount);
    const int64_t decisions_start = int64_t{kHeaderBits} + 1 + st.DataBitCount + pad;
    const int64_t decisions_length =
        int64_t{st.CurrentSize} * 8 - kHeaderBits - st.DataBitCount - pad;
    st.DecisionBits = UnpackDecisionStream(
        e, CopyBits(st.StreamBits, decisions_start, decisions_length), st.LowRods, lz77);

    if (st.TrailingBitCount > 0) {
        st.TrailingPending = true;
        const auto length = static_cast<int64_t>(st.DataBits.size());
        st.TrailingBits =
            CopyBits(st.DataBits, length - st.TrailingBitCount + 1, st.TrailingBitCount);
        st.DataBits.truncate(
            static_cast<size_t>(std::max<int64_t>(0, length - st.TrailingBitCount)));
    } else {
        st.TrailingPending = false;
    }

    FrontEnd& ui = e.ui;
    ui.set_label(Label::InputLabel, "Bits Input   : " + dec(st.BitsIn));
    ui.set_label(Label::OutputLabel, "Bits Output  : " + dec(st.DataBitCount));
    SetDepthLabel(e, DepthText(st.CycleCount, st.PassDepth));
    ui.set_gauge(Gauge::ProcessGauge, st.OriginalSize, st.CurrentSize);
    ui.set_gauge(Gauge::CentriGauge1, 100, 0);
    ui.set_gauge(Gauge::CentriGauge2, st.LowRods, 0);
    ui.set_gauge_progress(Gauge::LoopProgressBar, 0);
    ui.set_gauge_max(Gauge::LoopProgressBar, st.PassDepth);
    ui.set_label(Label::StreamLabel, "Vexion Data  : " + dec(st.CurrentSize) + " bytes");
    ui.set_label(Label::DecisionsLabel, dec(st.LowRods));
    ui.set_label(Label::Label_9, dec(st.HighRods));
    ui.pump();
}

}  // namespace quorvane
