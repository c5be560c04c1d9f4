#include "host/contract/device_contract.h"

namespace korvex::host::contract {

INSTANTIATE_TEST_SUITE_P(Probe, DeviceContract,
                         testing::Values(DeviceCase{
                             "kxprobe", [](Options& options) { options.set("Count", 1.0); },
                             [](Options& options) { options.set("Fail", true); }}));

} // namespace korvex::host::contract
