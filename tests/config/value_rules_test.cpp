// The one value rule, run through every front end of config/: the rule itself, a profile file
// ("Open..." and --config), a batch file and a plan (sequence, the plan window). Each row is
// refused by all of them with the same words, or accepted by all.
#include "config/config_json.h"
#include "config/plan.h"
#include "config/value_rules.h"
#include "tests/support/files.h"
#include "tests/support/value_rule_rows.h"

#include <gtest/gtest.h>

#include <functional>
#include <nlohmann/json.hpp>
#include <numeric>

using namespace comsetup::config;
using comsetup::test::TempFolder;
using comsetup::test::ValueRuleRow;
using comsetup::test::ValueRuleRows;

namespace {

SetupProfile Profile(const ValueRuleRow& row) {
    SetupProfile setup;
    for (const auto& [key, text] : row.values) {
        if (key == "master") {
            setup.master = text == "true";
            continue;
        }
        for (const SetupField& field : SetupFields()) {
            if (key == field.key) {
                field.apply(setup, text);
            }
        }
    }
    return setup;
}

nlohmann::json Json(const ValueRuleRow& row) {
    nlohmann::json object{{"port", "COM1"}};
    for (const auto& [key, text] : row.values) {
        object[key] = key == "master" ? nlohmann::json(text == "true") : nlohmann::json(text);
    }
    return object;
}

std::string PlanText(const ValueRuleRow& row) {
    std::string header, cells;
    for (const auto& [key, text] : row.values) {
        header += (header.empty() ? "" : ",") + key;
        cells += (cells.empty() ? "" : ",") + text;
    }
    return header + "\n" + cells + "\n";
}

// The refusal a front end gave, "" when it took the values.
std::string RefusalOf(const std::function<void()>& frontEnd) {
    try {
        frontEnd();
    } catch (const ValueError& error) {
        return error.what();
    }
    return {};
}

TEST(ValueRules, EveryFrontEndRefusesAndWarnsByTheOneRule) {
    TempFolder dir;
    for (const ValueRuleRow& row : ValueRuleRows()) {
        SCOPED_TRACE(row.what);
        const ValueRuling ruling = CheckSetupValues(Profile(row));
        const std::string profile = dir.Write("setup.json", Json(row).dump());
        const std::string batch =
            dir.Write("batch.json", nlohmann::json::array({Json(row)}).dump());
        const std::map<std::string, std::string> refusals{
            {"rule", ruling.refusal},
            {"profile file", RefusalOf([&] { LoadWholeSetupFile(profile); })},
            {"batch", RefusalOf([&] { LoadBatchFile(batch); })},
            {"plan", RefusalOf([&] { ParsePlan(PlanText(row), "p.csv", SetupProfile{}); })},
        };
        for (const auto& [frontEnd, refusal] : refusals) {
            if (row.refusal == nullptr) {
                EXPECT_EQ(refusal, "") << frontEnd;
            } else {
                EXPECT_NE(refusal.find(row.refusal), std::string::npos)
                    << frontEnd << ": " << refusal;
            }
        }
        const std::string warnings =
            std::accumulate(ruling.warnings.begin(), ruling.warnings.end(), std::string(),
                            [](std::string all, const std::string& w) { return all + w + "\n"; });
        if (row.warning == nullptr) {
            EXPECT_EQ(warnings, "");
        } else {
            EXPECT_NE(warnings.find(row.warning), std::string::npos) << warnings;
        }
    }
}

} // namespace
