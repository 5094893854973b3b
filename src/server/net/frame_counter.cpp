#include "server/net/frame_counter.h"

#include <algorithm>

namespace voltaro::server {

std::size_t FrameCounter::scan(const unsigned char* data, std::size_t size) {
    std::size_t frames = 0;
    std::size_t i = 0;
    while (i < size) {
        switch (part_) {
            case Part::First:
                ++frames;
                part_ = Part::Length;
                ++i;
                break;
            case Part::Length: {
                const unsigned char byte = data[i++];
                masked_ = (byte & 0x80) != 0;
                const unsigned length = byte & 0x7F;
                if (length >= 126) {
                    left_ = length == 126 ? 2 : 8;
                    length_ = 0;
                    part_ = Part::ExtendedLength;
                } else {
                    lengthRead(length);
                }
                break;
            }
            case Part::ExtendedLength:
                length_ = (length_ << 8) | data[i++];
                if (--left_ == 0) {
                    lengthRead(length_);
                }
                break;
            case Part::Mask:
                ++i;
                if (--left_ == 0) {
                    part_ = length_ == 0 ? Part::First : Part::Payload;
                }
                break;
            case Part::Payload: {
                const auto skipped = static_cast<std::size_t>(
                    std::min<std::uint64_t>(length_, static_cast<std::uint64_t>(size - i)));
                i += skipped;
                length_ -= skipped;
                if (length_ == 0) {
                    part_ = Part::First;
                }
                break;
            }
        }
    }
    return frames;
}

void FrameCounter::lengthRead(std::uint64_t length) {
    length_ = length;
    if (masked_) {
        left_ = 4;
        part_ = Part::Mask;
    } else {
        part_ = length == 0 ? Part::First : Part::Payload;
    }
}

}  // namespace voltaro::server
