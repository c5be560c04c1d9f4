#pragma once

// Where the page's datagram counts come from: delivered to a device, dropped as
// from another sender, dropped as malformed, dropped by the system before a
// listener read them. A source answers rows, each with a label ("all phones", or
// a phone's name); a count the source does not keep is left empty and the page
// shows it as unknown.

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

// kinelink's totals for the whole process: every listener of every phone together,
// counted from the moment this source was made. kinelink has no count of
// malformed datagrams, and counts the system's drops as each socket closes.
class KinelinkProcessAccounting : public DatagramAccounting {
public:
    KinelinkProcessAccounting();
    std::vector<DatagramCounts> rows() const override;

private:
    std::uint64_t deliveredAtStart;
    std::uint64_t fromOtherAtStart;
    std::uint64_t droppedAtStart;
};

// The counts as JSON: [{"label":"all phones","delivered":12,"fromOtherSender":0,
// "malformed":null,"droppedBySystem":0}].
std::string accountingJson(const std::vector<DatagramCounts>& rows);

} // namespace sensorview
