#include "LzhPipeline.h"
#include "LzhPositionCode.h"

namespace qv::payload::lzh {

TLzhPipeline::TLzhPipeline(TCompThreadSafety& state)
    : output_(state), coder_([this](TLzhItems& items) { Code(items); }) {
    model_.Init();
}

void TLzhPipeline::SendSymbol(int symbol) {
    const TLzhModel::Code code = model_.CodeOf(symbol);
    output_.PutLong(code.length, code.bits);
    model_.Update(symbol);
}

void TLzhPipeline::SendPosition(int position) {
    const int upper = position >> kPositionLowBits;
    output_.PutBits(kPositionTables.length[upper], kPositionTables.code[upper]);
    output_.PutBits(kPositionLowBits, static_cast<unsigned>(position) & (kPositionGroups - 1));
}

void TLzhPipeline::Code(const TLzhItems& items) {
    for (int i = 0; i < items.size;) {
        const int symbol = items.entries[i++];
        SendSymbol(symbol);
        if (symbol >= 256) SendPosition(items.entries[i++]);
        output_.FlushIfDue();
    }
}

void TLzhPipeline::Finish() {
    coder_.Drain();
    TLzhItems& last = coder_.Filling();
    Code(last);
    last.size = 0;
    output_.Finish();
}

} // namespace qv::payload::lzh
