#pragma once

// A device that reported errors where the host needed it to work (options it
// refused, a port it could not bind, a camera it could not open), as an exception
// that keeps what the device said.

#include "host/channel.h"

#include <stdexcept>
#include <string>
#include <vector>

namespace kxtools {

class DeviceError : public std::runtime_error {
public:
    // what says what failed; messages are those the device posted meanwhile.
    DeviceError(const std::string& what, std::vector<korvex::host::Message> messages);

    const std::vector<korvex::host::Message>& messages() const { return posted_; }
    // The first "error" among the messages, or null.
    const korvex::host::Message* firstError() const;

private:
    std::vector<korvex::host::Message> posted_;
};

// "KORVEX:kinedgram:invalidPort: Port number must be less than 65536." or the
// text alone when the identifier is empty; "(no identifier and no text)" for none.
std::string messageText(const korvex::host::Message& message);

// The errors among messages, each as messageText, joined by "; "; empty for none.
std::string errorsText(const std::vector<korvex::host::Message>& messages);

} // namespace kxtools
