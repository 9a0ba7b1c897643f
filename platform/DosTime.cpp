#include "platform/Files.h"

namespace qv::platform {

// DOS dates count years from 1980 and seconds in steps of two.
uint32_t DosDateTimeFromLocal(const LocalTime& t) {
    const uint32_t date = (static_cast<uint32_t>(t.year - 1980) << 9) |
                          (static_cast<uint32_t>(t.month) << 5) | static_cast<uint32_t>(t.day);
    const uint32_t time = (static_cast<uint32_t>(t.hour) << 11) |
                          (static_cast<uint32_t>(t.minute) << 5) |
                          static_cast<uint32_t>(t.second / 2);
    return (date << 16) | time;
}

LocalTime LocalFromDosDateTime(uint32_t dosDateTime) {
    const uint32_t date = dosDateTime >> 16;
    const uint32_t time = dosDateTime & 0xFFFF;
    return LocalTime{static_cast<int>((date >> 9) + 1980), static_cast<int>((date >> 5) & 15),
                     static_cast<int>(date & 31),          static_cast<int>(time >> 11),
                     static_cast<int>((time >> 5) & 63),   static_cast<int>((time & 31) * 2)};
}

} // namespace qv::platform
