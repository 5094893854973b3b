#pragma once

#include <cstddef>
#include <cstdint>

namespace voltaro::server {

// Follows the frames of what a WebSocket client sends, byte by byte, to count them as they come:
// every frame, the control frames and empty fragments that the WebSocket library handles on its
// own and never hands on as a message, costs the server work. Client frames are always masked;
// a stream that breaks the framing is closed by the library, whatever this counts of it.
class FrameCounter {
  public:
    // Reads the next `size` bytes of the stream; how many frames began in them.
    std::size_t scan(const unsigned char* data, std::size_t size);

  private:
    enum class Part : std::uint8_t { First, Length, ExtendedLength, Mask, Payload };

    void lengthRead(std::uint64_t length);

    Part part_ = Part::First;
    bool masked_ = false;
    unsigned left_ = 0;  // bytes of the extended length or the mask still to come
    std::uint64_t length_ = 0;
};

}  // namespace voltaro::server
