#pragma once

// Where the page's datagram counts come from: delivered to a device (of those,
// rejected by its parser as malformed), dropped as from another sender, dropped by
// the system before a listener read them. A source answers rows, each with a label
// (a phone's name); a count the source does not keep is left empty and the page
// shows it as unknown.

#include "mobilesensor/datagram_accounting.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace sensorview {

struct DatagramCounts {
    std::string label;
    std::optional<std::uint64_t> delivered;
    std::optional<std::uint64_t> fromOtherSender;
    std::optional<std::uint64_t> malformed;
    std::optional<std::uint64_t> droppedBySystem;
};

class DatagramAccounting {
public:
    virtual ~DatagramAccounting() = default;
    // Any thread.
    virtual std::vector<DatagramCounts> rows() const = 0;
};

// kinelink's totals of each phone's UDP port (datagramAccountingForPort), one row
// a phone, counted from the moment this source was made: made once the phones
// listen, it shows what this run's devices saw. The system's drops are read live
// from each open socket.
class KinelinkPortAccounting : public DatagramAccounting {
public:
    struct PhonePort {
        std::string name;
        std::uint16_t port = 0;
    };
    explicit KinelinkPortAccounting(std::vector<PhonePort> phones);
    std::vector<DatagramCounts> rows() const override;

private:
    struct Baseline {
        PhonePort phone;
        mobilesensor::DatagramAccounting atStart;
    };
    std::vector<Baseline> baselines;
};

// The counts as JSON: [{"label":"walk","delivered":12,"fromOtherSender":0,
// "malformed":null,"droppedBySystem":0}].
std::string accountingJson(const std::vector<DatagramCounts>& rows);

} // namespace sensorview
