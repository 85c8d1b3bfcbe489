// The line between a download and the converter stand-in's model, in virtual time: at every
// step, the bytes written since the last step reach the model at that last step's time, the
// model lets the time pass, and what it printed waits in the line's receive queue; when the
// model's line is gone (vanish mode) the line is unplugged. Whole
// downloads of both front ends run against it with a VirtualPacer whose listener calls Step.
#pragma once

#include "serial/memory_device.h"
#include "sim/converter_model.h"

#include <nlohmann/json.hpp>

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>

namespace comsetup::test {

class ModelLine {
public:
    ModelLine(sim::ModelOptions options, std::shared_ptr<MemoryLine> line);

    // Options as comsetup-sim runs in the tests: the given firmware and failure, the converter
    // switched off for 300 ms.
    static sim::ModelOptions Options(sim::Firmware firmware,
                                     sim::FailMode fail = sim::FailMode::Healthy);

    void Step(std::chrono::nanoseconds now);
    // Steps to `now` and gives the sessions the model finished since the last call, as
    // comsetup-sim writes them in its JSON report (an array, empty when none).
    nlohmann::json FinishedSessions(std::chrono::nanoseconds now);
    sim::ConverterModel& Model() { return model_; }
    MemoryLine& Line() { return *line_; }
    std::shared_ptr<MemoryLine> LineShared() const { return line_; }
    // Every byte that has reached the model.
    const std::string& Received() const { return received_; }

private:
    sim::ModelOptions options_;
    sim::ConverterModel model_;
    std::shared_ptr<MemoryLine> line_;
    std::int64_t lastUs_ = 0;
    bool vanished_ = false;
    std::string received_;
};

} // namespace comsetup::test
