#include "sim/chaos.h"

#include "sim/protocol.h"

namespace lumicord::sim {

int chaos_counts::total() const {
    return ignored_commands + wrong_acks + flipped_blocks + bad_checksums + cut_blocks + dropped_blocks +
           dropped_completions + dropped_dones + chatters + lost_resend_requests + lost_command_ends + late_answers;
}

chaos::chaos(const chaos_config& config) : config_(config), random_(config.seed) {}

bool chaos::strikes(int per_mille) { return per_mille > 0 && below(1000) < per_mille; }

int chaos::below(int bound) { return bound <= 1 ? 0 : std::uniform_int_distribution<int>(0, bound - 1)(random_); }

chaos::command_fate chaos::fate_of_command(std::uint8_t& ack) {
    if (deaf_left_ > 0) {
        --deaf_left_;
        ++counts_.ignored_commands;
        return command_fate::ignore;
    }
    if (strikes(config_.ignore_command)) {
        deaf_left_ = below(config_.deaf_streak + 1);
        ++counts_.ignored_commands;
        return command_fate::ignore;
    }
    if (strikes(config_.wrong_ack)) {
        ack = static_cast<std::uint8_t>(below(255));
        if (ack >= CAMERA_ACK) ++ack;  // any byte but the acknowledgement
        ++counts_.wrong_acks;
        return command_fate::wrong_ack;
    }
    return command_fate::answer;
}

bool chaos::loses_host_byte(std::uint8_t byte, bool in_transfer) {
    if (byte == BLOCK_RESEND) {
        if (!strikes(config_.lose_resend_request)) return false;
        ++counts_.lost_resend_requests;
        return true;
    }
    if (in_transfer || byte != COMMAND_END || !strikes(config_.lose_command_end)) return false;
    ++counts_.lost_command_ends;
    return true;
}

void chaos::mangle_block(std::vector<std::uint8_t>& block) {
    if (block.size() < 2) return;
    const int data_bytes = static_cast<int>(block.size()) - 1;
    // One fault at most: two could cancel out in the checksum.
    if (strikes(config_.flip_data)) {
        block[static_cast<std::size_t>(below(data_bytes))] ^= static_cast<std::uint8_t>(1 + below(255));
        ++counts_.flipped_blocks;
    } else if (strikes(config_.bad_checksum)) {
        block.back() ^= static_cast<std::uint8_t>(1 + below(255));
        ++counts_.bad_checksums;
    } else if (strikes(config_.cut_block)) {
        block.resize(static_cast<std::size_t>(1 + below(data_bytes)));
        ++counts_.cut_blocks;
    } else if (strikes(config_.drop_block)) {
        block.clear();
        ++counts_.dropped_blocks;
    }
}

bool chaos::drops_completion() {
    if (!strikes(config_.drop_completion)) return false;
    ++counts_.dropped_completions;
    return true;
}

bool chaos::drops_done() {
    if (!strikes(config_.drop_done)) return false;
    ++counts_.dropped_dones;
    return true;
}

std::vector<std::uint8_t> chaos::chatter() {
    if (!strikes(config_.chatter)) return {};
    ++counts_.chatters;
    const int least = config_.max_chatter / 2 + 1;
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(least + below(config_.max_chatter - least + 1)));
    for (std::uint8_t& b : bytes) b = static_cast<std::uint8_t>(1 + below(255));  // never the done byte
    static_assert(DONE_BYTE == 0);
    return bytes;
}

int chaos::late_ms() {
    if (!strikes(config_.late_answer)) return 0;
    ++counts_.late_answers;
    return 1 + below(config_.max_late_ms);
}

}  // namespace lumicord::sim
