// A tiny program with a payload slot, stamped after linking like the applet.
// Given its own path it checks that the stamp matches its file size.
#include "payload/PayloadOffset.h"
#include "platform/Files.h"

#include <cstdio>

volatile qv::payload::TPayloadSlot gPayloadSlot = qv::payload::UnstampedPayloadSlot();

int main(int argc, char** argv) {
    const int64_t stamped = qv::payload::StampedPayloadOffset(gPayloadSlot);
    std::printf("%lld\n", static_cast<long long>(stamped));
    if (argc < 2) return 0;
    return stamped == qv::platform::FileSize(argv[1]) ? 0 : 1;
}
