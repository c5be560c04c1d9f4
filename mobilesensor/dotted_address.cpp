#include "dotted_address.h"

#include <boost/asio/error.hpp>
#include <boost/format.hpp>
#include <boost/system/system_error.hpp>

namespace mobilesensor {

std::string formatDottedAddress(const std::array<std::uint8_t, 4>& octets) {
    return (boost::format("%1%.%2%.%3%.%4%") % unsigned{octets[0]} % unsigned{octets[1]} %
            unsigned{octets[2]} % unsigned{octets[3]})
        .str();
}

boost::asio::ip::address_v4 parseTableAddress(const std::string& text) {
    // Read here rather than by the platform parser: Windows' parser takes leading
    // zeros as octal and accepts shorthand forms ("10.1") that Linux rejects, and the
    // adapter table means plain decimal.
    std::array<std::uint8_t, 4> octets{};
    std::size_t field = 0;
    unsigned value = 0;
    std::size_t digits = 0;
    for (std::size_t i = 0; i <= text.size(); ++i) {
        const char c = i < text.size() ? text[i] : '.';
        if (c >= '0' && c <= '9') {
            value = value * 10 + static_cast<unsigned>(c - '0');
            if (++digits > 3 || value > 255)
                break;
        } else if (c == '.' && digits != 0 && field < octets.size()) {
            octets[field++] = static_cast<std::uint8_t>(value);
            value = 0;
            digits = 0;
            if (i == text.size() && field == octets.size())
                return boost::asio::ip::make_address_v4(octets);
        } else {
            break;
        }
    }
    throw boost::system::system_error(boost::asio::error::invalid_argument,
                                      "not an IPv4 address: \"" + text + "\"");
}

} // namespace mobilesensor
