// The converter's monitor after the restart: "G7", "S7" with the configuration records
// up to the end record, and "RS", which ends the session.
#include "sim/converter_model.h"

#include "sim/converter_texts.h"
#include "sim/fixed_records.h"
#include "sim/intel_hex.h"
#include "sim/model_bytes.h"

#include <iterator>
#include <utility>

namespace comsetup::sim {
namespace {

constexpr std::size_t kMaxMonitorLine = 600; // a record is 75 characters

} // namespace

using namespace detail;

// ---- monitor after the restart ----

void ConverterModel::OnMonitorLine(std::uint8_t b, std::int64_t nowUs) {
    if (IsPrintable(b)) {
        if (b == 'z' && input_.empty() && state_ == State::Monitor)
            return; // one more poll that crossed the answer
        if (input_.size() >= kMaxMonitorLine) {
            Anomaly("monitor line too long: byte " + DescribeByte(b) + " dropped");
            return;
        }
        input_.push_back(static_cast<char>(b));
        return;
    }
    if (!IsEnter(b)) {
        Anomaly("byte " + DescribeByte(b) + " in the monitor");
        return;
    }
    if (input_.empty())
        return;
    const std::string line = std::exchange(input_, std::string());
    if (state_ == State::Records)
        TakeRecord(line);
    else
        RunCommand(line, nowUs);
}

void ConverterModel::RunCommand(const std::string& line, std::int64_t nowUs) {
    if (line == "G7") {
        report_.pageSelected = true;
        Emit("Page 7\r\n> ");
    } else if (line == "S7") {
        if (!report_.pageSelected)
            Anomaly("S7 before G7");
        report_.loadStarted = true;
        ReachStage(Stage::Records);
        state_ = State::Records;
        Emit("Loading page 7\r\n");
    } else if (line == "RS") {
        report_.reset = true;
        Emit("Reset\r\n");
        EndSession(SessionEnd::Complete, nowUs);
    } else {
        Anomaly("unknown monitor command \"" + line + "\"");
        Emit("?\r\n> ");
    }
}

void ConverterModel::TakeRecord(const std::string& line) {
    const std::size_t index = report_.records.size();
    report_.records.push_back(line);
    HexRecord record;
    std::string error;
    if (!ParseHexRecord(line, record, error)) {
        recordsSound_ = false;
        Anomaly("record " + std::to_string(index + 1) + ": " + error);
        Emit("Bad record\r\n");
        return;
    }
    if (index == 0) {
        report_.firstRecord = line == kRecordA ? 'A' : line == kRecordB ? 'B' : '?';
        if (report_.firstRecord == '?')
            Anomaly("first record is neither A nor B");
    } else if (index - 1 < std::size(kFollowingRecords)) {
        if (line != kFollowingRecords[index - 1])
            Anomaly("record " + std::to_string(index + 1) + " is not the expected one");
    } else {
        Anomaly("record " + std::to_string(index + 1) + " is one too many");
    }
    if (record.type == 0x01) {
        report_.loadComplete =
            recordsSound_ && report_.records.size() == 1 + std::size(kFollowingRecords);
        if (!report_.loadComplete)
            Anomaly("end record after " + std::to_string(index) + " data records");
        state_ = State::Monitor;
        Emit("Load complete\r\n> ");
        return;
    }
    Emit("OK\r\n");
}

} // namespace comsetup::sim
