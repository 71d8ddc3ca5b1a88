// The scenario outcome as both rigs assert it.
#include "scenarios/outcome_check.h"
#include "support/program_texts.h"

#include <gtest/gtest.h>

void ExpectOutcome(const Scenario& s, const RunRecord& run, const std::vector<std::string>* lines)
{
    EXPECT_EQ(0, run.exitCode);
    EXPECT_EQ(lines ? *lines : s.debugLines, run.debugLines);
    EXPECT_EQ(s.settingAfter, run.settingAfter);
    ASSERT_EQ(s.boxTexts.size(), run.boxes.size());
    for (size_t i = 0; i < run.boxes.size(); ++i) {
        EXPECT_EQ(s.boxTexts[i], run.boxes[i].text);
        EXPECT_EQ(s.program == Program::Check ? kCheckCaption : s.program == Program::Undo ? kUndoCaption : kCaption, run.boxes[i].caption);
        EXPECT_EQ(s.boxStyle, run.boxes[i].style);
    }
    std::vector<std::string> names;
    for (const RecordedCall& c : run.radioCalls) names.push_back(c.name);
    ASSERT_EQ(s.radioCalls, names);
    if (s.radioCalls.empty()) return;

    const std::vector<uint64_t>& init = run.radioCalls[0].args;
    ASSERT_GE(init.size(), 5u);
    EXPECT_EQ(1u, init[0]);  // the first radio
    EXPECT_NE(0u, init[1]);
    EXPECT_NE(0u, init[2]);
    EXPECT_NE(init[1], init[2]);
    EXPECT_EQ(0u, init[3]);  // no notification classes
    EXPECT_EQ(0u, init[4]);
    EXPECT_EQ(!s.sendsWithHandleZero, run.handleWritten.has_value());
    // The send and the close go to the handle RIL_Initialize wrote, or to 0.
    const uint64_t handle = s.sendsWithHandleZero ? 0 : run.handleWritten.value_or(0);
    for (size_t i = 1, sends = 0; i < run.radioCalls.size(); ++i) {
        const bool send = run.radioCalls[i].name == "RIL_DevSpecific";
        const std::vector<uint8_t>& block = send && sends++ == 0 && !s.firstBlock.empty() ? s.firstBlock : s.block;
        EXPECT_EQ((send ? std::vector<uint64_t>{handle, block.size()} : std::vector<uint64_t>{handle}), run.radioCalls[i].args);
        EXPECT_EQ(send ? block : std::vector<uint8_t>(), run.radioCalls[i].block);
    }
}
