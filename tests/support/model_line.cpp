#include "tests/support/model_line.h"

#include "sim/session_report.h"

namespace comsetup::test {

ModelLine::ModelLine(sim::ModelOptions options, std::shared_ptr<MemoryLine> line)
    : options_(options), model_(options), line_(std::move(line)) {}

sim::ModelOptions ModelLine::Options(sim::Firmware firmware, sim::FailMode fail) {
    sim::ModelOptions options;
    options.firmware = firmware;
    options.fail = fail;
    options.offTimeUs = 300'000;
    return options;
}

void ModelLine::Step(std::chrono::nanoseconds now) {
    const std::int64_t nowUs = std::chrono::duration_cast<std::chrono::microseconds>(now).count();
    const std::string written = line_->TakeWritten();
    if (!written.empty()) {
        model_.Receive(written, lastUs_);
        received_ += written;
    }
    model_.Advance(nowUs);
    const std::string out = model_.TakeOutput();
    if (!out.empty()) {
        line_->PushReceived(out);
    }
    if (model_.Vanished() && !vanished_) {
        line_->Vanish(); // as comsetup-sim closes its pseudo-terminal
        vanished_ = true;
    }
    lastUs_ = nowUs;
}

} // namespace comsetup::test

namespace comsetup::test {

nlohmann::json ModelLine::FinishedSessions(std::chrono::nanoseconds now) {
    Step(now);
    const auto doc = nlohmann::json::parse(
        sim::ReportsToJson(model_.TakeFinishedSessions(), options_.firmware, options_.fail),
        nullptr, false);
    return doc.is_object() && doc["sessions"].is_array() ? doc["sessions"]
                                                         : nlohmann::json::array();
}

} // namespace comsetup::test
