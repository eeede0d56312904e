// What all six camera operations do alike: each opens with its own status
// exchange and gives up at once, with its result, when that fails.
#include <gtest/gtest.h>

#include "link/camera.h"
#include "sim/camera_data.h"
#include "tests/support/camera_ops.h"
#include "tests/support/camera_ops_table.h"

namespace lumicord::camlink {
namespace {

using testing::camera_operation;
using testing::CAMERA_OPERATIONS;
using testing::command_bytes;
using testing::connected_camera;
using testing::hex;
using testing::joined;
using testing::repeated;
using testing::RESEND_BYTE;
using testing::STATUS_EXCHANGE;

constexpr std::uint8_t OP_INIT = 0x41;
constexpr std::uint8_t OP_STATUS = 0x7F;

class every_operation : public ::testing::TestWithParam<camera_operation> {};

// A camera every operation would go ahead with: a DC20 with pictures and
// room for more (switch_resolution would refuse, but only after the status).
sim::camera_config ready_camera() { return sim::camera_with_pictures(3); }

TEST_P(every_operation, bad_status_block_ends_it_with_nothing_more_sent) {
    sim::fault_config faults;
    faults.fault_opcode = OP_STATUS;
    faults.bad_block = 1;
    faults.bad_block_attempts = 5;
    connected_camera camera(ready_camera(), faults);
    EXPECT_EQ(GetParam().run(), RES_BAD_PACKET);
    EXPECT_EQ(hex(camera.heard()),
              hex(joined({command_bytes(OP_INIT, 0x96), command_bytes(OP_STATUS), repeated(RESEND_BYTE, 4)})));
}

// The status block itself was good, so it is kept; the operation still
// stops there.
TEST_P(every_operation, missing_status_completion_ends_it_after_the_status_exchange) {
    sim::fault_config faults;
    faults.fault_opcode = OP_STATUS;
    faults.missing_completion = 1;
    connected_camera camera(ready_camera(), faults);
    EXPECT_EQ(GetParam().run(), RES_NO_DATA);
    EXPECT_EQ(hex(camera.heard()), hex(STATUS_EXCHANGE));
    EXPECT_EQ(camera_state.model, 0x20);
    EXPECT_EQ(camera_state.pictures_taken, 3);
}

INSTANTIATE_TEST_SUITE_P(camera, every_operation, ::testing::ValuesIn(CAMERA_OPERATIONS),
                         [](const auto& info) { return testing::operation_name(info.param); });

}  // namespace
}  // namespace lumicord::camlink
