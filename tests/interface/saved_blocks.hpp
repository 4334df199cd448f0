// Keeps EQLINK_CONFIG and EQLINK_ELVCA as they were before a test and puts
// them back after it, so that tests run in any order in one process.
#pragma once

#include <memory>

#include "eqlink_blocks.hpp"

class SavedBlocks {
public:
    SavedBlocks() : config_(EQLINK_CONFIG), elvca_(std::make_unique<EqlinkElvca>(EQLINK_ELVCA)) {}
    ~SavedBlocks() {
        EQLINK_CONFIG = config_;
        EQLINK_ELVCA = *elvca_;
    }
    SavedBlocks(const SavedBlocks&) = delete;
    SavedBlocks& operator=(const SavedBlocks&) = delete;

private:
    EqlinkConfig config_;
    std::unique_ptr<EqlinkElvca> elvca_;
};
