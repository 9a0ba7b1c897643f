#include "UnitBurn.h"

namespace qv::recording {

bool TBurnDataModule::StartBurn(uint8_t /*writeMode*/) {
    return false;
}

} // namespace qv::recording
