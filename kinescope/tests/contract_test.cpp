#include "host/contract/device_contract.h"

namespace korvex::host::contract {

// The lifecycle suite on the loaded plug-in: a searched port, and a port out of range.
INSTANTIATE_TEST_SUITE_P(Kinescope, DeviceContract,
                         testing::Values(DeviceCase{
                             "kinescope", [](Options& options) { options.set("PortNumber", 0.0); },
                             [](Options& options) { options.set("PortNumber", 65536.0); }}));

} // namespace korvex::host::contract
